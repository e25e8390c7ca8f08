#pragma once
// The shared-string table of an XLSX export: distinct texts in order of
// first use, looked up by hash. Texts are kept once in large blocks, so the
// memory is that of the distinct texts plus a small fixed cost per text.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace karto {

class XLSXSharedStrings {
public:
    XLSXSharedStrings();
    XLSXSharedStrings(const XLSXSharedStrings&) = delete;
    XLSXSharedStrings& operator=(const XLSXSharedStrings&) = delete;

    // Index of an equal text, appending it when new.
    uint32_t add(std::string_view text);
    uint32_t count() const { return static_cast<uint32_t>(texts_.size()); }
    std::string_view text(uint32_t index) const { return texts_[index]; }

    // The stored element of a text: "<t>" or "<t xml:space="preserve">"
    // (leading or trailing blank, tab, CR or LF, or two of them in a row, CR
    // LF counting as one), the OOXML-escaped text, "</t>".
    static void appendElement(std::string& out, std::string_view text);

private:
    std::string_view store(std::string_view text);

    std::deque<std::string> blocks_;
    std::vector<std::string_view> texts_;
    std::unordered_map<std::string_view, uint32_t> index_;
};

} // namespace karto
