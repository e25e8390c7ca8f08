#pragma once
// The shared-string table of an XLSX export: distinct texts in order of
// first use, looked up by hash. Texts are kept once in large blocks, so the
// memory is that of the distinct texts plus a small fixed cost per text
// (its place, and one 8-byte slot of an open-addressing hash table that is
// at most three quarters full).

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
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
    void grow();

    std::deque<std::string> blocks_;
    std::vector<std::string_view> texts_;
    // Linear probing; a slot holds the high 32 bits of the text's hash and
    // its index + 1 (0: empty). The low bits of the hash choose the slot.
    std::vector<uint64_t> slots_;
    std::size_t mask_ = 0;
};

} // namespace karto
