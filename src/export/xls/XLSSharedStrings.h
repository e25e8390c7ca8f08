#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "export/xls/ByteSource.h"

namespace karto {

class ChunkStreamList;

// The shared-string table of an XLS workbook: the distinct texts of the string
// cells in order of first use, written as one SST record and its CONTINUE
// records (in UTF-16). Texts are stored once, as UTF-8, in large blocks, with
// their length in UTF-16 code units.
class XLSSharedStrings {
public:
    // A text longer than this is cut (the length field has 16 bits).
    static constexpr std::size_t kMaxChars = 65535;
    // Payload budgets of the SST record after its counts, of a CONTINUE record
    // begun between two texts, and of one that continues a split text.
    static constexpr int kFirstBudget = 8216;
    static constexpr int kContinueBudget = 8224;
    static constexpr int kSplitBudget = 8216;

    XLSSharedStrings() = default;
    XLSSharedStrings(const XLSSharedStrings&) = delete;
    XLSSharedStrings& operator=(const XLSSharedStrings&) = delete;

    // Normalises the line breaks of a UTF-8 text (CR LF, lone CR, lone LF
    // each become one LF), cuts it to kMaxChars UTF-16 code units and returns
    // the index of an equal text, appending it when it is new. Invalid UTF-8
    // sequences count as U+FFFD.
    std::uint32_t add(std::string_view text);

    std::size_t count() const { return order_.size(); }
    // A stored text (UTF-8) and its length in UTF-16 code units.
    std::string_view text(std::size_t index) const { return {order_[index].data, order_[index].bytes}; }
    std::size_t units(std::size_t index) const { return order_[index].units; }

    // Length in bytes of the SST and CONTINUE records (0 when empty).
    std::uint64_t recordsSize() const;

    // Where record production stands.
    struct Cursor {
        std::size_t textIndex = 0;
        std::size_t charsDone = 0;
        bool first = true;
        std::u16string decoded;            // the current text in UTF-16
        std::size_t decodedFor = SIZE_MAX;
    };

    // The SST and CONTINUE records, produced while they are read, so that the
    // table's texts are never copied into a second buffer. The table must not
    // change while a source reads it.
    class RecordSource : public ByteSource {
    public:
        explicit RecordSource(const XLSSharedStrings& table);
        std::uint64_t remaining() const override { return total_ - position_; }
        std::size_t read(char* buffer, std::size_t count) override;

    private:
        const XLSSharedStrings& table_;
        std::vector<std::uint8_t> record_;
        std::size_t recordPos_ = 0;
        std::uint64_t total_;
        std::uint64_t position_ = 0;
        Cursor cursor_;
    };

    // Writes the SST record and its CONTINUE records into out, each record in
    // a chunk of its own. Writes nothing when the table is empty.
    void writeRecords(ChunkStreamList& out) const;

    // The text with its line breaks turned into single line feeds and cut to
    // at most kMaxChars code units (never between the halves of a surrogate pair).
    static std::u16string normalize(std::u16string_view text);

private:
    struct Entry {
        const char* data;
        std::uint32_t bytes;
        std::uint32_t units;
    };

    // Produces the next record into out (or only its length when out is
    // null); false when all records were produced.
    bool nextRecord(std::vector<std::uint8_t>* out, Cursor& cursor, std::size_t& length) const;
    const char* store(std::string_view text);

    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string_view, std::uint32_t, Hash, std::equal_to<>> index_;
    std::vector<Entry> order_;
    std::deque<std::string> blocks_;
    std::u16string scratch16_;
    std::string scratch8_;
};

} // namespace karto
