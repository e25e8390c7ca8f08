#pragma once
// Small dBase III tables written byte by byte for the window tests.

#include <cstdint>
#include <string>
#include <vector>

#include <QFile>
#include <QString>

namespace karto::test {

struct TestField {
    std::string name;
    char type;        // 'C', 'N', 'D', 'L', 'M'
    int length;
    int decimals = 0;
};

struct TestRecord {
    std::vector<std::string> values;   // raw bytes, padded to the field length
    bool deleted = false;
};

inline std::string pad(const std::string& value, int length, char type)
{
    if (static_cast<int>(value.size()) >= length)
        return value.substr(0, static_cast<size_t>(length));
    const std::string fill(static_cast<size_t>(length) - value.size(), ' ');
    return type == 'N' ? fill + value : value + fill;
}

// Writes the table; returns false when the file cannot be written.
inline bool writeTestTable(const QString& path, const std::vector<TestField>& fields,
                           const std::vector<TestRecord>& records, uint8_t languageId = 0)
{
    int recordSize = 1;
    for (const TestField& f : fields)
        recordSize += f.length;
    const int headerSize = 32 + 32 * static_cast<int>(fields.size()) + 1;
    std::string out(32, '\0');
    out[0] = 0x03;
    out[1] = 124;
    out[2] = 1;
    out[3] = 15;
    const uint32_t count = static_cast<uint32_t>(records.size());
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    out[8] = static_cast<char>(headerSize & 0xFF);
    out[9] = static_cast<char>(headerSize >> 8);
    out[10] = static_cast<char>(recordSize & 0xFF);
    out[11] = static_cast<char>(recordSize >> 8);
    out[29] = static_cast<char>(languageId);
    for (const TestField& f : fields) {
        std::string d(32, '\0');
        for (size_t i = 0; i < f.name.size() && i < 10; ++i)
            d[i] = f.name[i];
        d[11] = f.type;
        d[16] = static_cast<char>(f.length);
        d[17] = static_cast<char>(f.decimals);
        out += d;
    }
    out += '\x0D';
    for (const TestRecord& r : records) {
        out += r.deleted ? '*' : ' ';
        for (size_t i = 0; i < fields.size(); ++i)
            out += pad(i < r.values.size() ? r.values[i] : std::string(), fields[i].length, fields[i].type);
    }
    out += '\x1A';
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(out.data(), static_cast<qint64>(out.size())) == static_cast<qint64>(out.size());
}

} // namespace karto::test
