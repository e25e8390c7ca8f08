#pragma once
// A small JSON reader for the expected values of the test corpus.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace karto::test {

struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    double number = 0;
    std::string text;   // UTF-8
    std::vector<Json> items;
    std::vector<std::string> keys;   // object member names, in order
    std::vector<Json> values;        // ... and their values

    const Json* find(const std::string& key) const
    {
        for (size_t i = 0; i < keys.size(); ++i)
            if (keys[i] == key)
                return &values[i];
        return nullptr;
    }
    // Member of an object, or a null value.
    const Json& operator[](const std::string& key) const
    {
        static const Json none;
        const Json* j = find(key);
        return j ? *j : none;
    }
    bool isNull() const { return kind == Null; }
    long long asInt() const { return static_cast<long long>(number); }

    static Json parse(const std::string& source)
    {
        size_t pos = 0;
        Json j = parseValue(source, pos);
        skipSpace(source, pos);
        if (pos != source.size())
            throw std::runtime_error("JSON: trailing characters");
        return j;
    }

private:
    static void skipSpace(const std::string& s, size_t& p)
    {
        while (p < s.size() && (s[p] == ' ' || s[p] == '\n' || s[p] == '\r' || s[p] == '\t'))
            ++p;
    }
    static void expect(const std::string& s, size_t& p, const char* word)
    {
        for (const char* w = word; *w; ++w, ++p)
            if (p >= s.size() || s[p] != *w)
                throw std::runtime_error("JSON: bad literal");
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
    static uint32_t hex4(const std::string& s, size_t& p)
    {
        if (p + 4 > s.size())
            throw std::runtime_error("JSON: bad escape");
        uint32_t v = static_cast<uint32_t>(std::stoul(s.substr(p, 4), nullptr, 16));
        p += 4;
        return v;
    }
    static std::string parseString(const std::string& s, size_t& p)
    {
        ++p;   // opening quote
        std::string out;
        while (p < s.size() && s[p] != '"') {
            char c = s[p++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (p >= s.size())
                break;
            c = s[p++];
            switch (c) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': {
                uint32_t cp = hex4(s, p);
                if (cp >= 0xD800 && cp < 0xDC00 && p + 6 <= s.size() && s[p] == '\\' && s[p + 1] == 'u') {
                    p += 2;
                    const uint32_t low = hex4(s, p);
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, cp);
                break;
            }
            default: out += c; break;
            }
        }
        if (p >= s.size())
            throw std::runtime_error("JSON: unterminated string");
        ++p;
        return out;
    }
    static Json parseValue(const std::string& s, size_t& p)
    {
        skipSpace(s, p);
        if (p >= s.size())
            throw std::runtime_error("JSON: unexpected end");
        Json j;
        const char c = s[p];
        if (c == '{') {
            j.kind = Object;
            ++p;
            skipSpace(s, p);
            if (p < s.size() && s[p] == '}') {
                ++p;
                return j;
            }
            for (;;) {
                skipSpace(s, p);
                if (p >= s.size() || s[p] != '"')
                    throw std::runtime_error("JSON: key expected");
                std::string key = parseString(s, p);
                skipSpace(s, p);
                expect(s, p, ":");
                j.keys.push_back(std::move(key));
                j.values.push_back(parseValue(s, p));
                skipSpace(s, p);
                if (p < s.size() && s[p] == ',') {
                    ++p;
                    continue;
                }
                expect(s, p, "}");
                return j;
            }
        }
        if (c == '[') {
            j.kind = Array;
            ++p;
            skipSpace(s, p);
            if (p < s.size() && s[p] == ']') {
                ++p;
                return j;
            }
            for (;;) {
                j.items.push_back(parseValue(s, p));
                skipSpace(s, p);
                if (p < s.size() && s[p] == ',') {
                    ++p;
                    continue;
                }
                expect(s, p, "]");
                return j;
            }
        }
        if (c == '"') {
            j.kind = String;
            j.text = parseString(s, p);
            return j;
        }
        if (c == 't') {
            expect(s, p, "true");
            j.kind = Bool;
            j.boolean = true;
            return j;
        }
        if (c == 'f') {
            expect(s, p, "false");
            j.kind = Bool;
            return j;
        }
        if (c == 'n') {
            expect(s, p, "null");
            return j;
        }
        if (c == 'N') {   // Python writes NaN
            expect(s, p, "NaN");
            j.kind = Number;
            return j;
        }
        size_t used = 0;
        j.kind = Number;
        j.number = std::stod(s.substr(p, 64), &used);
        if (used == 0)
            throw std::runtime_error("JSON: bad number");
        p += used;
        return j;
    }
};

} // namespace karto::test
