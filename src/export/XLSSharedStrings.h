#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace karto {

class ChunkStreamList;

// The shared-string table of an XLS workbook: the distinct texts of the string
// cells in order of first use, written as one SST record and its CONTINUE
// records. Texts are stored as UTF-16 code units.
class XLSSharedStrings {
public:
    // A text longer than this is cut (the length field has 16 bits).
    static constexpr std::size_t kMaxChars = 65535;
    // Payload budgets of the SST record after its counts, of a CONTINUE record
    // begun between two texts, and of one that continues a split text.
    static constexpr int kFirstBudget = 8216;
    static constexpr int kContinueBudget = 8224;
    static constexpr int kSplitBudget = 8216;

    // Normalises the line breaks of text (CR LF, lone CR, lone LF each become
    // one LF), cuts it to kMaxChars and returns the index of an equal text,
    // appending it when it is new.
    std::uint32_t add(std::u16string_view text);

    std::size_t count() const { return order_.size(); }
    const std::u16string& text(std::size_t index) const { return *order_[index]; }

    // Writes the SST record and its CONTINUE records into out, each record in
    // a chunk of its own. Writes nothing when the table is empty.
    void writeRecords(ChunkStreamList& out) const;

    // The text with its line breaks turned into single line feeds and cut to
    // at most kMaxChars code units (never between the halves of a surrogate pair).
    static std::u16string normalize(std::u16string_view text);

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
    };
    std::unordered_map<std::u16string, std::uint32_t, Hash, std::equal_to<>> index_;
    std::vector<const std::u16string*> order_;
    std::u16string scratch_;
};

} // namespace karto
