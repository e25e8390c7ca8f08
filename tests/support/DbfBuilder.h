#pragma once
// Builds the bytes of small DBF tables for the tests, and temporary files.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace karto::test {

struct FieldSpec {
    std::string name;
    char type = 'C';
    int length = 1;       // descriptor byte (low byte for long FoxPro fields)
    int decimals = 0;     // descriptor byte
    uint8_t flags = 0;    // FoxPro field flags
    uint32_t autoInc = 0; // dBase 7 next value
};

struct DbfSpec {
    uint8_t version = 0x03;
    uint8_t languageId = 0;
    uint8_t productionIndexFlag = 0;
    std::string driverName;           // dBase 7
    std::vector<FieldSpec> fields;
    std::vector<std::string> records; // raw, deletion flag first
    int64_t headerCount = -1;         // -1: the number of records
    int headerSizeOverride = -1;
    int recordSizeOverride = -1;
    bool terminator = true;
    std::vector<uint8_t> afterTerminator; // trailing header bytes (FoxPro 263 zeros, properties)
    bool endMark = true;
    uint8_t year = 99, month = 1, day = 2;
};

inline void putLe(std::vector<uint8_t>& b, size_t at, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline int storedLength(const DbfSpec& spec, const FieldSpec& f)
{
    const bool fox = (spec.version & 7) == 2 || (spec.version & 7) == 5 || spec.version == 0x30 ||
                     spec.version == 0x31;
    if (fox && (f.type == 'C' || f.type == 'c'))
        return f.length + 256 * f.decimals;
    return f.length;
}

inline int recordSizeOf(const DbfSpec& spec)
{
    int size = 1;
    for (const FieldSpec& f : spec.fields)
        size += storedLength(spec, f);
    return size;
}

inline std::vector<uint8_t> buildDbf(const DbfSpec& spec)
{
    const bool d7 = (spec.version & 7) == 4;
    const int base = d7 ? 68 : 32;
    const int step = d7 ? 48 : 32;
    const int headerSize = spec.headerSizeOverride >= 0
                               ? spec.headerSizeOverride
                               : base + step * static_cast<int>(spec.fields.size()) +
                                     (spec.terminator ? 1 : 0) +
                                     static_cast<int>(spec.afterTerminator.size());
    const int recordSize = spec.recordSizeOverride >= 0 ? spec.recordSizeOverride : recordSizeOf(spec);
    std::vector<uint8_t> b(static_cast<size_t>(
        std::max(headerSize, base + step * static_cast<int>(spec.fields.size()) + 1 +
                                 static_cast<int>(spec.afterTerminator.size()))),
        0);
    b[0] = spec.version;
    b[1] = spec.year;
    b[2] = spec.month;
    b[3] = spec.day;
    putLe(b, 4, spec.headerCount >= 0 ? static_cast<uint64_t>(spec.headerCount) : spec.records.size(), 4);
    putLe(b, 8, static_cast<uint64_t>(headerSize), 2);
    putLe(b, 10, static_cast<uint64_t>(recordSize), 2);
    b[28] = spec.productionIndexFlag;
    b[29] = spec.languageId;
    if (d7)
        for (size_t i = 0; i < spec.driverName.size() && i < 32; ++i)
            b[32 + i] = static_cast<uint8_t>(spec.driverName[i]);
    size_t at = static_cast<size_t>(base);
    for (const FieldSpec& f : spec.fields) {
        for (size_t i = 0; i < f.name.size() && i < (d7 ? 32u : 11u); ++i)
            b[at + i] = static_cast<uint8_t>(f.name[i]);
        if (d7) {
            b[at + 32] = static_cast<uint8_t>(f.type);
            b[at + 33] = static_cast<uint8_t>(f.length);
            b[at + 34] = static_cast<uint8_t>(f.decimals);
            putLe(b, at + 42, f.autoInc, 4);
        } else {
            b[at + 11] = static_cast<uint8_t>(f.type);
            b[at + 16] = static_cast<uint8_t>(f.length);
            b[at + 17] = static_cast<uint8_t>(f.decimals);
            b[at + 18] = f.flags;
        }
        at += static_cast<size_t>(step);
    }
    if (spec.terminator)
        b[at++] = 0x0D;
    for (uint8_t x : spec.afterTerminator)
        b[at++] = x;
    b.resize(static_cast<size_t>(headerSize));
    for (const std::string& r : spec.records) {
        std::string rec = r;
        rec.resize(static_cast<size_t>(recordSize), ' ');
        b.insert(b.end(), rec.begin(), rec.end());
    }
    if (spec.endMark)
        b.push_back(0x1A);
    return b;
}

// A record given by its field values rather than its bytes: each value is
// padded to its field's length (numbers to the right, other types to the
// left) and cut when longer.
struct ValueRecord {
    std::vector<std::string> values;
    bool deleted = false;
};

inline std::string recordBytes(const std::vector<FieldSpec>& fields, const ValueRecord& record)
{
    std::string out(1, record.deleted ? '*' : ' ');
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto length = static_cast<size_t>(fields[i].length);
        std::string value = i < record.values.size() ? record.values[i] : std::string();
        value.resize(std::min(value.size(), length));
        const std::string fill(length - value.size(), ' ');
        out += fields[i].type == 'N' ? fill + value : value + fill;
    }
    return out;
}

// A dBase III table (0x03) of the fields and records; false when the file
// cannot be written.
inline bool writeTable(const std::string& path, const std::vector<FieldSpec>& fields,
                       const std::vector<ValueRecord>& records, uint8_t languageId = 0)
{
    DbfSpec spec;
    spec.languageId = languageId;
    spec.fields = fields;
    spec.year = 124;
    spec.month = 1;
    spec.day = 15;
    for (const ValueRecord& r : records)
        spec.records.push_back(recordBytes(fields, r));
    const std::vector<uint8_t> bytes = buildDbf(spec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

// A folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "karto-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        const std::string p = file(name);
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    static std::vector<uint8_t> read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private:
    std::string path_;
};

} // namespace karto::test
