#pragma once
// Case-insensitive substring test on UTF-8 text, as the search box's
// commands compare: a text matches when the upper-cased search text occurs
// in the upper-cased text. Upper-casing maps every character to its full
// upper-case form (ß becomes SS), one character at a time.
//
// The character mapping itself comes from outside (the window passes the
// toolkit's Unicode case mapping, see qtUpperCase() in app/UpperCase.h):
// this class is plain C++ so that the engine-only benchmarks can run it. It
// asks the mapping once per character: ASCII is mapped inline, the two-byte
// UTF-8 range (Latin, Greek, Cyrillic: every character of the Czech code
// pages) through a table filled at construction, the rest through a cache
// filled on first sight; Windows 1250 bytes through a table of their own. A
// test allocates nothing once its buffer has grown.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace karto {

class TextMatcher {
public:
    // The full upper-case form (UTF-8) of one character.
    using UpperCase = std::function<std::string(char32_t)>;

    // `needle` is the search text as typed (UTF-8).
    TextMatcher(std::string_view needle, UpperCase upperCase);

    // An empty search text matches nothing.
    bool empty() const { return needle_.empty(); }
    // The upper-cased search text.
    const std::string& upperNeedle() const { return needle_; }

    // Whether the upper-cased text contains the upper-cased search text.
    bool matches(std::string_view text);
    // The same for Windows 1250 text: the bytes are upper-cased straight to
    // UTF-8, so a character field need not be decoded first. With a byte map
    // each byte b is first replaced by map[b] (a code page conversion).
    bool matchesWindows1250(const uint8_t* bytes, std::size_t length, const uint8_t* map = nullptr);

    // Appends the upper-case form of a UTF-8 text. Bytes that are not valid
    // UTF-8 are copied as they are.
    void appendUpper(std::string& out, std::string_view text);

private:
    void appendCodePoint(std::string& out, char32_t c);

    // Whether the first `length` bytes of the buffer hold the needle.
    bool find(std::size_t length) const;

    // The upper-case form of a Windows 1250 byte in UTF-8.
    struct Upper1250 {
        uint8_t length;
        char bytes[15];
    };

    UpperCase upperCase_;
    std::vector<std::string> twoByte_;   // code points 0x80-0x7FF
    std::vector<Upper1250> windows1250_;   // 256 bytes
    std::unordered_map<char32_t, std::string> others_;
    std::string needle_;
    std::string buffer_;
};

} // namespace karto
