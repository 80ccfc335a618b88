#include "decoder/match_copy.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace quorvel::decoder {
namespace {

// Every distance up to past the widest word copy, every length up to several periods:
// the copy equals byte-by-byte copying, and nothing beyond 15 bytes past the end changes.
TEST(CopyMatchTest, EqualsCopyingByteByByte) {
    constexpr std::uint32_t kFront = 64, kSlack = 15, kGuard = 16;
    for (std::uint32_t distance = 1; distance <= 40; ++distance) {
        for (std::uint32_t length = 1; length <= 100; ++length) {
            SCOPED_TRACE(testing::Message() << "distance " << distance << ", length " << length);
            std::vector<std::uint8_t> buffer(kFront + length + kSlack + kGuard, 0xEE);
            for (std::uint32_t i = 0; i < kFront; ++i) buffer[i] = static_cast<std::uint8_t>(i * 7 + 1);
            std::vector<std::uint8_t> expected = buffer;
            for (std::uint32_t i = kFront; i < kFront + length; ++i) expected[i] = expected[i - distance];
            CopyMatch(buffer.data() + kFront, distance, length);
            for (std::uint32_t i = 0; i < kFront + length; ++i) ASSERT_EQ(buffer[i], expected[i]) << "byte " << i;
            for (std::size_t i = kFront + length + kSlack; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE) << "byte " << i;
        }
    }
}

}  // namespace
}  // namespace quorvel::decoder
