#include "commands/TextMatcher.h"

#include <cstring>

#include "dbf/text/Windows1250.h"

namespace karto {

namespace {

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

} // namespace

TextMatcher::TextMatcher(std::string_view needle, UpperCase upperCase)
    : upperCase_(std::move(upperCase)), twoByte_(0x800)
{
    for (char32_t c = 0x80; c < 0x800; ++c) {
        std::string upper = upperCase_ ? upperCase_(c) : std::string();
        if (upper.empty())
            appendUtf8(upper, c);
        twoByte_[c] = std::move(upper);
    }
    appendUpper(needle_, needle);

    // Every Windows 1250 byte's upper-case form, the longest full mapping of
    // one character being three characters.
    windows1250_.resize(256);
    std::string upper;
    for (int b = 0; b < 256; ++b) {
        upper.clear();
        std::string utf8;
        appendUtf8(utf8, windows1250ToUnicode(static_cast<uint8_t>(b)));
        appendUpper(upper, utf8);
        Upper1250& entry = windows1250_[static_cast<std::size_t>(b)];
        if (upper.size() > sizeof entry.bytes)
            upper = utf8;
        entry.length = static_cast<uint8_t>(upper.size());
        std::memcpy(entry.bytes, upper.data(), upper.size());
    }
}

void TextMatcher::appendCodePoint(std::string& out, char32_t c)
{
    auto it = others_.find(c);
    if (it == others_.end()) {
        std::string upper = upperCase_ ? upperCase_(c) : std::string();
        if (upper.empty())
            appendUtf8(upper, c);
        it = others_.emplace(c, std::move(upper)).first;
    }
    out += it->second;
}

void TextMatcher::appendUpper(std::string& out, std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            // Runs of ASCII, the common case, without a call per byte.
            const auto* run = p;
            while (p < end && *p < 0x80)
                ++p;
            const std::size_t start = out.size();
            out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
            for (std::size_t i = start; i < out.size(); ++i) {
                const unsigned char c = static_cast<unsigned char>(out[i]);
                if (static_cast<unsigned>(c - 'a') < 26u)
                    out[i] = static_cast<char>(c - 32);
            }
            continue;
        }
        if (b >= 0xC2 && b < 0xE0 && end - p >= 2 && continuation(p[1])) {
            out += twoByte_[((b & 0x1Fu) << 6) | (p[1] & 0x3Fu)];
            p += 2;
            continue;
        }
        if (b >= 0xE0 && b < 0xF0 && end - p >= 3 && continuation(p[1]) && continuation(p[2])) {
            const char32_t c = ((b & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
            if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) {
                appendCodePoint(out, c);
                p += 3;
                continue;
            }
        }
        if (b >= 0xF0 && b < 0xF5 && end - p >= 4 && continuation(p[1]) && continuation(p[2]) &&
            continuation(p[3])) {
            const char32_t c = ((b & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) |
                               (p[3] & 0x3Fu);
            if (c >= 0x10000 && c <= 0x10FFFF) {
                appendCodePoint(out, c);
                p += 4;
                continue;
            }
        }
        // Not UTF-8: the byte as it is.
        out += static_cast<char>(b);
        ++p;
    }
}

bool TextMatcher::find(std::size_t length) const
{
    if (length < needle_.size())
        return false;
    return ::memmem(buffer_.data(), length, needle_.data(), needle_.size()) != nullptr;
}

bool TextMatcher::matches(std::string_view text)
{
    if (needle_.empty() || text.empty())
        return false;
    buffer_.clear();
    appendUpper(buffer_, text);
    return find(buffer_.size());
}

bool TextMatcher::matchesWindows1250(const uint8_t* bytes, std::size_t length, const uint8_t* map)
{
    if (needle_.empty() || length == 0)
        return false;
    // Written in 8-byte strides; the buffer only grows (no clearing per call).
    const std::size_t room = length * sizeof(Upper1250::bytes) + 8;
    if (buffer_.size() < room)
        buffer_.resize(room);
    char* const start = buffer_.data();
    char* out = start;
    for (std::size_t i = 0; i < length; ++i) {
        const Upper1250& u = windows1250_[map ? map[bytes[i]] : bytes[i]];
        if (u.length <= 8)
            std::memcpy(out, u.bytes, 8);
        else
            std::memcpy(out, u.bytes, u.length);
        out += u.length;
    }
    return find(static_cast<std::size_t>(out - start));
}

} // namespace karto
