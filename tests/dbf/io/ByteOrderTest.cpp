#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "dbf/io/ByteOrder.h"

namespace karto {
namespace {

// The loads at an odd offset (no alignment), with the top bit set in the
// first and the last byte, so that a sign or a swapped half would show.
TEST(ByteOrder, LoadsReadTheBytesInTheirOrder)
{
    static constexpr uint8_t bytes[] = {0x00, 0x81, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xF8};
    const uint8_t* p = bytes + 1;
    EXPECT_EQ(loadLE16(p), 0x0281u);
    EXPECT_EQ(loadBE16(p), 0x8102u);
    EXPECT_EQ(loadLE32(p), 0x04030281u);
    EXPECT_EQ(loadBE32(p), 0x81020304u);
    EXPECT_EQ(loadLE64(p), 0xF807060504030281ull);
    EXPECT_EQ(loadBE64(p), 0x81020304050607F8ull);
    static_assert(loadBE32(bytes + 1) == 0x81020304u, "usable in constant expressions");
}

TEST(ByteOrder, StoresWriteOnlyTheirBytesAndReadBack)
{
    struct Case {
        int width;
        bool bigEndian;
        std::vector<uint8_t> expected;   // at offset 1 of a buffer of 0xEE bytes
    };
    const uint64_t value = 0x8877665544332211ull;
    const Case cases[] = {
        {16, false, {0x11, 0x22}},
        {16, true, {0x22, 0x11}},
        {32, false, {0x11, 0x22, 0x33, 0x44}},
        {32, true, {0x44, 0x33, 0x22, 0x11}},
        {64, false, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}},
        {64, true, {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << (c.bigEndian ? " BE" : " LE"));
        std::vector<uint8_t> buffer(10, 0xEE);
        uint8_t* p = buffer.data() + 1;
        uint64_t back = 0;
        switch (c.width * (c.bigEndian ? -1 : 1)) {
        case 16: storeLE16(p, uint16_t(value)); back = loadLE16(p); break;
        case -16: storeBE16(p, uint16_t(value)); back = loadBE16(p); break;
        case 32: storeLE32(p, uint32_t(value)); back = loadLE32(p); break;
        case -32: storeBE32(p, uint32_t(value)); back = loadBE32(p); break;
        case 64: storeLE64(p, value); back = loadLE64(p); break;
        case -64: storeBE64(p, value); back = loadBE64(p); break;
        }
        std::vector<uint8_t> expected(10, 0xEE);
        std::copy(c.expected.begin(), c.expected.end(), expected.begin() + 1);
        EXPECT_EQ(buffer, expected);
        const uint64_t mask = c.width == 64 ? ~0ull : (1ull << c.width) - 1;
        EXPECT_EQ(back, value & mask);
    }
}

} // namespace
} // namespace karto
