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
    const HistorySlot& referenced = *fields.referencedSlot;
    std::memmove(slot.SlotData, referenced.SlotData, static_cast<std::uint32_t>(fields.sharedPrefixLength));
    std::memcpy(storage.Window.Bytes, referenced.SlotData + fields.preset.PresetStart,
                static_cast<std::uint32_t>(fields.preset.PresetLength));
    StartWindow(storage.Window, fields.preset.PresetLength, fields.sharedPrefixLength, &slot, skipOutput);
}

}  // namespace quorvel::decoder
