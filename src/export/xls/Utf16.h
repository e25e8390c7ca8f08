#pragma once
// Conversion between UTF-8 (the workbook model's texts) and UTF-16 (the
// texts of an XLS file).

#include <string>
#include <string_view>

namespace karto {

// UTF-8 to UTF-16 (out is replaced). Each invalid sequence becomes one
// U+FFFD and decoding resumes at the byte that broke it.
void utf8ToUtf16(std::string_view text, std::u16string& out);

// UTF-16 to UTF-8 (out is replaced); unpaired surrogates become U+FFFD.
void utf16ToUtf8(std::u16string_view text, std::string& out);

} // namespace karto
