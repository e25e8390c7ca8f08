#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace karto {

// Windows 1250 text and Unicode (UTF-8), table-driven.
//
// Every byte decodes: the five bytes Windows 1250 leaves undefined (0x81, 0x83,
// 0x88, 0x90, 0x98) become the C1 control characters of the same value, as
// the system's own conversion does, so that decoding and encoding again gives
// back the same bytes.

// The Unicode character of a Windows 1250 byte.
char32_t windows1250ToUnicode(uint8_t byte);

// The Windows 1250 byte of a Unicode character; false when the code page has
// none.
bool unicodeToWindows1250(char32_t ch, uint8_t& byte);

// Appends the UTF-8 form of `length` Windows 1250 bytes to `out` (zero bytes
// included). Grows `out` at most once and not at all when its capacity
// suffices.
void appendWindows1250AsUtf8(std::string& out, const char* data, std::size_t length);
inline void appendWindows1250AsUtf8(std::string& out, std::string_view bytes)
{
    appendWindows1250AsUtf8(out, bytes.data(), bytes.size());
}
std::string windows1250ToUtf8(std::string_view bytes);

// Appends the Windows 1250 form of UTF-8 text to `out`. A character the code
// page lacks, and every byte of a malformed UTF-8 sequence, becomes
// `replacement`.
void appendUtf8AsWindows1250(std::string& out, std::string_view utf8, char replacement = '?');
std::string utf8ToWindows1250(std::string_view utf8, char replacement = '?');

} // namespace karto
