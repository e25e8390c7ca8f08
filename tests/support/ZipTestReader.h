#pragma once
// A small ZIP reader for the export tests: lists the central directory and
// inflates entries, checking each local header against the directory and
// each CRC-32 against the data.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <zlib.h>

namespace karto::test {

struct ZipTestEntry {
    std::string name;
    uint16_t versionMadeBy = 0, versionNeeded = 0, flags = 0, method = 0;
    uint32_t dosDateTime = 0, crc = 0, compressedSize = 0, uncompressedSize = 0, localOffset = 0;
    std::string data;  // inflated
};

inline uint32_t zipLe(const std::string& b, std::size_t at, int bytes)
{
    if (at + bytes > b.size())
        throw std::runtime_error("zip: read past the end");
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

inline std::string inflateRaw(const std::string& compressed, std::size_t expected)
{
    std::string out(expected, '\0');
    z_stream s{};
    if (inflateInit2(&s, -15) != Z_OK)
        throw std::runtime_error("zip: inflateInit2");
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    s.avail_in = static_cast<uInt>(compressed.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    char spare;
    int code = inflate(&s, Z_FINISH);
    if (code == Z_BUF_ERROR && s.avail_out == 0) {  // expected == 0
        s.next_out = reinterpret_cast<Bytef*>(&spare);
        s.avail_out = 1;
        code = inflate(&s, Z_FINISH);
    }
    const bool ok = code == Z_STREAM_END && s.total_out == expected && s.avail_in == 0;
    inflateEnd(&s);
    if (!ok)
        throw std::runtime_error("zip: bad deflate data");
    return out;
}

inline std::vector<ZipTestEntry> readZip(const std::string& b)
{
    if (b.size() < 22)
        throw std::runtime_error("zip: too short");
    const std::size_t end = b.size() - 22;
    if (zipLe(b, end, 4) != 0x06054B50)
        throw std::runtime_error("zip: no end record");
    const uint32_t count = zipLe(b, end + 10, 2);
    const uint32_t dirSize = zipLe(b, end + 12, 4);
    const uint32_t dirOffset = zipLe(b, end + 16, 4);
    if (zipLe(b, end + 8, 2) != count || dirOffset + dirSize != end)
        throw std::runtime_error("zip: inconsistent end record");
    std::vector<ZipTestEntry> entries;
    std::size_t at = dirOffset;
    for (uint32_t i = 0; i < count; ++i) {
        if (zipLe(b, at, 4) != 0x02014B50)
            throw std::runtime_error("zip: bad central header");
        ZipTestEntry e;
        e.versionMadeBy = zipLe(b, at + 4, 2);
        e.versionNeeded = zipLe(b, at + 6, 2);
        e.flags = zipLe(b, at + 8, 2);
        e.method = zipLe(b, at + 10, 2);
        e.dosDateTime = zipLe(b, at + 12, 4);
        e.crc = zipLe(b, at + 16, 4);
        e.compressedSize = zipLe(b, at + 20, 4);
        e.uncompressedSize = zipLe(b, at + 24, 4);
        const uint32_t nameLength = zipLe(b, at + 28, 2);
        const uint32_t extra = zipLe(b, at + 30, 2), comment = zipLe(b, at + 32, 2);
        e.localOffset = zipLe(b, at + 42, 4);
        e.name = b.substr(at + 46, nameLength);
        at += 46 + nameLength + extra + comment;

        const std::size_t l = e.localOffset;
        if (zipLe(b, l, 4) != 0x04034B50 || zipLe(b, l + 4, 2) != e.versionNeeded ||
            zipLe(b, l + 6, 2) != e.flags || zipLe(b, l + 8, 2) != e.method ||
            zipLe(b, l + 10, 4) != e.dosDateTime || zipLe(b, l + 14, 4) != e.crc ||
            zipLe(b, l + 18, 4) != e.compressedSize || zipLe(b, l + 22, 4) != e.uncompressedSize ||
            zipLe(b, l + 26, 2) != nameLength || b.substr(l + 30, nameLength) != e.name)
            throw std::runtime_error("zip: local header differs from the directory for " + e.name);
        const std::size_t dataAt = l + 30 + nameLength + zipLe(b, l + 28, 2);
        const std::string compressed = b.substr(dataAt, e.compressedSize);
        e.data = e.method == 8 ? inflateRaw(compressed, e.uncompressedSize) : compressed;
        const uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
        if (crc != e.crc)
            throw std::runtime_error("zip: CRC mismatch in " + e.name);
        entries.push_back(std::move(e));
    }
    return entries;
}

inline const ZipTestEntry* findEntry(const std::vector<ZipTestEntry>& entries, const std::string& name)
{
    for (const auto& e : entries)
        if (e.name == name)
            return &e;
    return nullptr;
}

} // namespace karto::test
