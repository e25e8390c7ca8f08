#include "export/xls/XLSSharedStrings.h"

#include <algorithm>
#include <cstring>

#include "export/xls/ChunkStreamList.h"
#include "export/xls/Utf16.h"

namespace karto {

namespace {

constexpr std::uint16_t kRecordSST = 0x00FC;
constexpr std::uint16_t kRecordContinue = 0x003C;
constexpr std::size_t kBlockBytes = 1u << 20;

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

void put8(std::vector<std::uint8_t>* b, unsigned v)
{
    if (b)
        b->push_back(static_cast<std::uint8_t>(v));
}
void put16(std::vector<std::uint8_t>* b, unsigned v)
{
    if (b) {
        b->push_back(static_cast<std::uint8_t>(v));
        b->push_back(static_cast<std::uint8_t>(v >> 8));
    }
}

} // namespace

std::u16string XLSSharedStrings::normalize(std::u16string_view text)
{
    std::u16string out;
    normalizeInto(text, out);
    return out;
}

const char* XLSSharedStrings::store(std::string_view text)
{
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < text.size()) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(kBlockBytes, text.size()));
    }
    std::string& block = blocks_.back();
    const std::size_t at = block.size();
    block.append(text);   // within the reserved capacity: earlier texts stay where they are
    return block.data() + at;
}

std::uint32_t XLSSharedStrings::add(std::string_view text)
{
    // Plain ASCII without carriage returns is stored as it is; anything else
    // goes through UTF-16, where line breaks are normalised, the length is cut
    // and invalid sequences are replaced, and back.
    bool plain = text.size() <= kMaxChars;
    for (std::size_t i = 0; plain && i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        plain = c < 0x80 && c != '\r';
    }
    std::string_view key = text;
    std::size_t units = text.size();
    if (!plain) {
        utf8ToUtf16(text, scratch16_);
        if (needsNormalizing(scratch16_)) {
            std::u16string normalized;
            normalizeInto(scratch16_, normalized);
            scratch16_.swap(normalized);
        }
        utf16ToUtf8(scratch16_, scratch8_);
        key = scratch8_;
        units = scratch16_.size();
    }
    auto found = index_.find(key);
    if (found != index_.end())
        return found->second;
    const auto index = static_cast<std::uint32_t>(order_.size());
    const char* stored = store(key);
    index_.emplace(std::string_view(stored, key.size()), index);
    order_.push_back({stored, static_cast<std::uint32_t>(key.size()), static_cast<std::uint32_t>(units)});
    return index;
}

bool XLSSharedStrings::nextRecord(std::vector<std::uint8_t>* out, Cursor& cur, std::size_t& length) const
{
    if (order_.empty() || (!cur.first && cur.textIndex >= order_.size()))
        return false;
    length = 0;
    int budget;
    if (cur.first) {
        put16(out, kRecordSST);
        put16(out, 0);
        const auto n = static_cast<std::uint32_t>(order_.size());
        put16(out, n & 0xFFFF); put16(out, n >> 16);
        put16(out, n & 0xFFFF); put16(out, n >> 16);
        length = 8;
        budget = kFirstBudget;
        cur.first = false;
    } else {
        put16(out, kRecordContinue);
        put16(out, 0);
        budget = cur.charsDone > 0 ? kSplitBudget : kContinueBudget;
    }
    while (cur.textIndex < order_.size()) {
        const Entry& text = order_[cur.textIndex];
        if (cur.charsDone == 0) {
            if (budget <= 6)
                break;   // the next text begins a CONTINUE record
            put16(out, text.units);
            budget -= 2;
            length += 2;
        }
        put8(out, 1);   // uncompressed UTF-16
        budget -= 1;
        length += 1;
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(budget / 2), text.units - cur.charsDone);
        if (out) {
            if (text.units == text.bytes) {   // ASCII
                for (std::size_t i = 0; i < n; ++i)
                    put16(out, static_cast<unsigned char>(text.data[cur.charsDone + i]));
            } else {
                if (cur.decodedFor != cur.textIndex) {
                    utf8ToUtf16(std::string_view(text.data, text.bytes), cur.decoded);
                    cur.decodedFor = cur.textIndex;
                }
                for (std::size_t i = 0; i < n; ++i)
                    put16(out, cur.decoded[cur.charsDone + i]);
            }
        }
        budget -= static_cast<int>(2 * n);
        length += 2 * n;
        cur.charsDone += n;
        if (cur.charsDone < text.units)
            break;   // the rest goes on in a CONTINUE record
        ++cur.textIndex;
        cur.charsDone = 0;
    }
    if (out) {
        (*out)[out->size() - length - 2] = static_cast<std::uint8_t>(length);
        (*out)[out->size() - length - 1] = static_cast<std::uint8_t>(length >> 8);
    }
    return true;
}

std::uint64_t XLSSharedStrings::recordsSize() const
{
    std::uint64_t total = 0;
    Cursor cursor;
    std::size_t length = 0;
    while (nextRecord(nullptr, cursor, length))
        total += 4 + length;
    return total;
}

XLSSharedStrings::RecordSource::RecordSource(const XLSSharedStrings& table)
    : table_(table), total_(table.recordsSize())
{
    record_.reserve(8300);
}

std::size_t XLSSharedStrings::RecordSource::read(char* buffer, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        if (recordPos_ == record_.size()) {
            record_.clear();
            recordPos_ = 0;
            std::size_t length = 0;
            if (!table_.nextRecord(&record_, cursor_, length))
                break;
        }
        const std::size_t n = std::min(count - done, record_.size() - recordPos_);
        std::memcpy(buffer + done, record_.data() + recordPos_, n);
        recordPos_ += n;
        done += n;
    }
    position_ += done;
    return done;
}

void XLSSharedStrings::writeRecords(ChunkStreamList& out) const
{
    Cursor cursor;
    std::size_t length = 0;
    std::vector<std::uint8_t> record;
    while (nextRecord(&record, cursor, length)) {
        out.newChunk();
        out.append(record.data(), record.size());
        record.clear();
    }
    out.newChunk();
}

} // namespace karto
