#include "export/XLSSharedStrings.h"

#include <algorithm>

#include "export/ChunkStreamList.h"

namespace karto {

namespace {

constexpr std::uint16_t kRecordSST = 0x00FC;
constexpr std::uint16_t kRecordContinue = 0x003C;

bool needsNormalizing(std::u16string_view text)
{
    return text.size() > XLSSharedStrings::kMaxChars || text.find(u'\r') != std::u16string_view::npos;
}

void normalizeInto(std::u16string_view text, std::u16string& out)
{
    out.clear();
    out.reserve(std::min(text.size(), XLSSharedStrings::kMaxChars));
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            c = u'\n';
        }
        out.push_back(c);
    }
    if (out.size() > XLSSharedStrings::kMaxChars) {
        std::size_t cut = XLSSharedStrings::kMaxChars;
        // Do not leave the first half of a surrogate pair at the end.
        if (out[cut - 1] >= 0xD800 && out[cut - 1] <= 0xDBFF)
            --cut;
        out.resize(cut);
    }
}

// Builds one record in a chunk of its own: the header is written when the
// record begins and its length set when it is closed.
class RecordBuilder {
public:
    explicit RecordBuilder(ChunkStreamList& out) : out_(out) {}

    void begin(std::uint16_t number)
    {
        out_.newChunk();
        auto& b = out_.current();
        start_ = b.size();
        put16(number);
        put16(0);
    }
    void close()
    {
        auto& b = out_.current();
        const std::size_t length = b.size() - start_ - 4;
        b[start_ + 2] = static_cast<std::uint8_t>(length);
        b[start_ + 3] = static_cast<std::uint8_t>(length >> 8);
    }
    void put8(std::uint8_t v) { out_.current().push_back(v); }
    void put16(std::uint16_t v)
    {
        auto& b = out_.current();
        b.push_back(static_cast<std::uint8_t>(v));
        b.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void put32(std::uint32_t v)
    {
        put16(static_cast<std::uint16_t>(v));
        put16(static_cast<std::uint16_t>(v >> 16));
    }
    void putChars(const char16_t* p, std::size_t n)
    {
        auto& b = out_.current();
        for (std::size_t i = 0; i < n; ++i) {
            b.push_back(static_cast<std::uint8_t>(p[i]));
            b.push_back(static_cast<std::uint8_t>(p[i] >> 8));
        }
    }

private:
    ChunkStreamList& out_;
    std::size_t start_ = 0;
};

} // namespace

std::u16string XLSSharedStrings::normalize(std::u16string_view text)
{
    std::u16string out;
    normalizeInto(text, out);
    return out;
}

std::uint32_t XLSSharedStrings::add(std::u16string_view text)
{
    std::u16string_view key = text;
    if (needsNormalizing(text)) {
        normalizeInto(text, scratch_);
        key = scratch_;
    }
    // Look up without building a string when the text is already known.
    auto found = index_.find(key);
    if (found != index_.end())
        return found->second;
    const auto index = static_cast<std::uint32_t>(order_.size());
    auto inserted = index_.emplace(std::u16string(key), index).first;
    order_.push_back(&inserted->first);
    return index;
}

void XLSSharedStrings::writeRecords(ChunkStreamList& out) const
{
    if (order_.empty())
        return;
    RecordBuilder rec(out);
    rec.begin(kRecordSST);
    rec.put32(static_cast<std::uint32_t>(order_.size()));
    rec.put32(static_cast<std::uint32_t>(order_.size()));
    int budget = kFirstBudget;
    for (const std::u16string* text : order_) {
        if (budget <= 6) {
            rec.close();
            rec.begin(kRecordContinue);
            budget = kContinueBudget;
        }
        rec.put16(static_cast<std::uint16_t>(text->size()));
        budget -= 2;
        std::size_t done = 0;
        for (;;) {
            rec.put8(1);   // uncompressed UTF-16
            budget -= 1;
            const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(budget / 2), text->size() - done);
            rec.putChars(text->data() + done, n);
            budget -= static_cast<int>(2 * n);
            done += n;
            if (done == text->size())
                break;
            rec.close();
            rec.begin(kRecordContinue);
            budget = kSplitBudget;
        }
    }
    rec.close();
    out.newChunk();
}

} // namespace karto
