#include "expander/console/text.hpp"

#include <cstdlib>

#include "expander/console/console.hpp"

namespace quorvel::expander {

void Text::Append(char byte) {
    if (length + 1 >= capacity) {
        std::uint32_t grown = capacity < 64 ? 64 : capacity * 2;
        void* moved = grown > capacity ? std::realloc(bytes, grown) : nullptr;
        if (moved == nullptr) ReportInternalFault(kFaultHeap, 0);
        bytes = static_cast<char*>(moved);
        capacity = grown;
    }
    bytes[length++] = byte;
    bytes[length] = 0;
}

void Text::Clear() { Truncate(0); }

void Text::Truncate(std::uint32_t n) {
    length = n;
    if (bytes != nullptr) bytes[n] = 0;
}

}  // namespace quorvel::expander
