#pragma once
// Integers stored in the files as bytes in a fixed order, whatever the
// machine's: little-endian (table headers and descriptors, FoxPro integers
// and money, .dbt headers) or big-endian (.fpt headers and value headers,
// dBase 7 integers, doubles and timestamps). The pointers need no alignment.

#include <cstdint>

namespace karto {

constexpr uint16_t loadLE16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

constexpr uint32_t loadLE32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

constexpr uint64_t loadLE64(const uint8_t* p)
{
    return uint64_t(loadLE32(p)) | (uint64_t(loadLE32(p + 4)) << 32);
}

constexpr uint16_t loadBE16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

constexpr uint32_t loadBE32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

constexpr uint64_t loadBE64(const uint8_t* p)
{
    return (uint64_t(loadBE32(p)) << 32) | loadBE32(p + 4);
}

constexpr void storeLE16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

constexpr void storeLE32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

constexpr void storeLE64(uint8_t* p, uint64_t v)
{
    storeLE32(p, uint32_t(v));
    storeLE32(p + 4, uint32_t(v >> 32));
}

constexpr void storeBE16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

constexpr void storeBE32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

constexpr void storeBE64(uint8_t* p, uint64_t v)
{
    storeBE32(p, uint32_t(v >> 32));
    storeBE32(p + 4, uint32_t(v));
}

} // namespace karto
