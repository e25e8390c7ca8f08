#pragma once
// Tables read back by an independent reader: dbfread through Debian's
// python (tests/support/dbf_dump.py), so that what the engine wrote is not
// only checked by the engine itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace karto::test {

struct ReadBackRecord {
    bool deleted = false;
    std::vector<std::optional<std::string>> values;   // null: no value
};

struct ReadBackTable {
    bool ok = false;
    std::string error;   // the reader's complaint when !ok
    std::vector<std::string> fields;
    int64_t headerCount = -1;
    std::vector<ReadBackRecord> records;
};

inline bool independentReaderAvailable()
{
    return std::system("/usr/bin/python3 -c 'import dbfread' >/dev/null 2>&1") == 0;
}

namespace readback {

// The few JSON forms the dump writes: objects, arrays, strings, null, true,
// false and numbers (kept as their text).
struct Parser {
    const std::string& s;
    size_t i = 0;

    void blank()
    {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
    }
    bool literal(const char* word)
    {
        const std::string w(word);
        if (s.compare(i, w.size(), w) != 0)
            return false;
        i += w.size();
        return true;
    }
    static void appendUtf8(std::string& out, uint32_t cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    std::optional<std::string> string()
    {
        if (i >= s.size() || s[i] != '"')
            return std::nullopt;
        ++i;
        std::string out;
        while (i < s.size() && s[i] != '"') {
            char c = s[i++];
            if (c != '\\') {
                out += c;
                continue;
            }
            c = s[i++];
            switch (c) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': {
                uint32_t cp = static_cast<uint32_t>(std::stoul(s.substr(i, 4), nullptr, 16));
                i += 4;
                if (cp >= 0xD800 && cp < 0xDC00 && s.compare(i, 2, "\\u") == 0) {
                    const auto low = static_cast<uint32_t>(std::stoul(s.substr(i + 2, 4), nullptr, 16));
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    i += 6;
                }
                appendUtf8(out, cp);
                break;
            }
            default: out += c;
            }
        }
        ++i;
        return out;
    }
    // A scalar as text: null gives nullopt.
    std::optional<std::string> scalar()
    {
        blank();
        if (literal("null"))
            return std::nullopt;
        if (literal("true"))
            return std::string("true");
        if (literal("false"))
            return std::string("false");
        if (i < s.size() && s[i] == '"')
            return string();
        const size_t start = i;
        while (i < s.size() && s[i] != ',' && s[i] != ']' && s[i] != '}')
            ++i;
        return s.substr(start, i - start);
    }
    std::vector<std::optional<std::string>> array()
    {
        std::vector<std::optional<std::string>> items;
        blank();
        ++i;   // [
        blank();
        if (i < s.size() && s[i] == ']') {
            ++i;
            return items;
        }
        for (;;) {
            items.push_back(scalar());
            blank();
            if (i >= s.size() || s[i++] != ',')
                break;
        }
        return items;
    }
};

} // namespace readback

// Reads the table with dbfread; encoding is a Python codec name or "hex"
// (character and memo values as the hexadecimal of their bytes).
inline ReadBackTable readBackTable(const std::string& path, const std::string& encoding)
{
    ReadBackTable table;
    const std::string command = "/usr/bin/python3 '" KARTO_SOURCE_DIR "/tests/support/dbf_dump.py' '" + path +
                                "' " + encoding + " 2>&1";
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) {
        table.error = "cannot run python";
        return table;
    }
    std::string all;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        all.append(buf, n);
    const int status = ::pclose(p);
    if (status != 0) {
        table.error = all;
        return table;
    }
    size_t pos = 0;
    bool first = true;
    while (pos < all.size()) {
        size_t end = all.find('\n', pos);
        if (end == std::string::npos)
            end = all.size();
        const std::string line = all.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty())
            continue;
        readback::Parser parser{line};
        if (first) {
            // {"fields": [...], "header_count": N}
            parser.i = line.find('[');
            for (const auto& f : parser.array())
                table.fields.push_back(f.value_or(""));
            const size_t count = line.find("\"header_count\":");
            table.headerCount = std::stoll(line.substr(count + 15));
            first = false;
            continue;
        }
        // {"deleted": B, "values": [...]}
        ReadBackRecord record;
        record.deleted = line.find("\"deleted\": true") != std::string::npos;
        parser.i = line.find('[');
        record.values = parser.array();
        table.records.push_back(std::move(record));
    }
    table.ok = !first;
    return table;
}

} // namespace karto::test
