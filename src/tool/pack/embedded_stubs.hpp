// The two Expander builds, built into the tool so that it is one file.
#pragma once

#include <cstdint>
#include <span>

namespace quorvel::tool {

std::span<const std::uint8_t> WindowsStub();
std::span<const std::uint8_t> NativeStub();

}  // namespace quorvel::tool
