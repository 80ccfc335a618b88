// The start of a file entry's decoding: the file's history slot begins with the prefix it
// shares with the referenced file, and the window with the referenced file's preset bytes.
#pragma once

#include <cstdint>
#include <cstring>

#include "decoder/decoder_namespace.hpp"
#include "decoder/decoder_storage.hpp"
#include "format/entry_record.hpp"

namespace quorvel::decoder {

inline void StartFileEntry(DecoderStorage& storage, const FileFields& fields, std::uint32_t currentSlot,
                           bool skipOutput) {
    HistorySlot& slot = storage.History.Slots[currentSlot];
    const HistorySlot& referenced = *fields.ReferencedSlot;
    std::memmove(slot.SlotData, referenced.SlotData, static_cast<std::uint32_t>(fields.SharedPrefixLength));
    std::memcpy(storage.Window.Bytes, referenced.SlotData + fields.Preset.PresetStart,
                static_cast<std::uint32_t>(fields.Preset.PresetLength));
    StartWindow(storage.Window, fields.Preset.PresetLength, fields.SharedPrefixLength, &slot, skipOutput);
}

}  // namespace quorvel::decoder
