#include "export/xls/XLSSharedStrings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "export/xls/ChunkStreamList.h"

using namespace karto;

namespace {

struct Record {
    std::uint16_t number;
    std::vector<std::uint8_t> data;
};

std::vector<Record> records(const XLSSharedStrings& sst)
{
    ChunkStreamList list;
    sst.writeRecords(list);
    list.rewind();
    std::vector<std::uint8_t> bytes(list.size());
    list.read(reinterpret_cast<char*>(bytes.data()), bytes.size());
    std::vector<Record> out;
    std::size_t p = 0;
    while (p + 4 <= bytes.size()) {
        const std::uint16_t number = bytes[p] | bytes[p + 1] << 8;
        const std::size_t length = bytes[p + 2] | bytes[p + 3] << 8;
        out.push_back({number, std::vector<std::uint8_t>(bytes.begin() + p + 4, bytes.begin() + p + 4 + length)});
        p += 4 + length;
    }
    EXPECT_EQ(p, bytes.size());
    return out;
}

std::string repeat(char c, std::size_t n) { return std::string(n, c); }

std::uint16_t le16(const std::vector<std::uint8_t>& d, std::size_t at) { return d.at(at) | d.at(at + 1) << 8; }

} // namespace

TEST(XLSSharedStrings, NormalisesLineBreaksAndSharesEqualTexts)
{
    XLSSharedStrings sst;
    EXPECT_EQ(sst.add("a\r\nb"), 0u);
    EXPECT_EQ(sst.add("a\nb"), 0u);
    EXPECT_EQ(sst.add("a\rb"), 0u);
    EXPECT_EQ(sst.add("a\n\nb"), 1u);
    EXPECT_EQ(sst.add("a\r\n\rb"), 1u);
    EXPECT_EQ(sst.add("Šroub"), 2u);
    EXPECT_EQ(sst.add("Šroub\r\n"), 3u);
    EXPECT_EQ(sst.add("Šroub\n"), 3u);
    EXPECT_EQ(sst.count(), 4u);
    EXPECT_EQ(sst.text(0), "a\nb");
    EXPECT_EQ(sst.text(3), "Šroub\n");
    EXPECT_EQ(sst.units(3), 6u);
    // Invalid UTF-8 is stored as U+FFFD, so equal replacements share an entry.
    EXPECT_EQ(sst.add("x\xFFy"), 4u);
    EXPECT_EQ(sst.add("x\xEF\xBF\xBDy"), 4u);
    // A text past 65,535 UTF-16 units is cut.
    EXPECT_EQ(sst.add(std::string(70000, 'q')), 5u);
    EXPECT_EQ(sst.units(5), 65535u);
    std::string czech;
    for (int i = 0; i < 40000; ++i)
        czech += "ž";
    sst.add(czech);
    EXPECT_EQ(sst.units(6), 40000u);

    // Cut to 65,535 code units, never inside a surrogate pair.
    EXPECT_EQ(XLSSharedStrings::normalize(std::u16string(70000, u'x')).size(), 65535u);
    std::u16string pair = std::u16string(65534, u'x') + u"\U0001F600" + u"y";
    EXPECT_EQ(XLSSharedStrings::normalize(pair).size(), 65534u);
}

TEST(XLSSharedStrings, WritesNothingWhenEmpty)
{
    XLSSharedStrings sst;
    EXPECT_TRUE(records(sst).empty());
}

// Two texts leave exactly 6 bytes of budget: the next text begins a CONTINUE
// record with its count; a CONTINUE begun between texts takes up to 8,224 bytes.
TEST(XLSSharedStrings, TextLeavingSixBytesMovesTheNextIntoContinue)
{
    XLSSharedStrings sst;
    sst.add(repeat('a', 4000));
    sst.add(repeat('b', 102));          // 8216 - 8003 - 207 = 6 left
    for (int i = 0; i < 2000; ++i) {     // 2000 texts of 5 chars = 16,000 bytes
        char text[8];
        std::snprintf(text, sizeof text, "c%04d", i);
        sst.add(text);
    }
    const auto recs = records(sst);
    ASSERT_GE(recs.size(), 3u);
    EXPECT_EQ(recs[0].number, 0x00FC);
    EXPECT_EQ(recs[0].data.size(), 8u + 8210u);
    EXPECT_EQ(le16(recs[0].data, 0), 2002u);
    EXPECT_EQ(recs[1].number, 0x003C);
    EXPECT_EQ(le16(recs[1].data, 0), 5u);    // the count of "c0000"
    EXPECT_EQ(recs[1].data.at(2), 1u);       // then its flag byte
    // 632 texts of 13 bytes fill 8,216 bytes of the 8,224; the 633rd begins
    // with two characters and goes on in the next record after its flag byte.
    EXPECT_EQ(recs[1].data.size(), 8223u);
    EXPECT_EQ(recs[2].data.at(0), 1u);
    for (const auto& r : recs)
        EXPECT_LE(r.data.size(), 8224u);
}

TEST(XLSSharedStrings, SplitTextContinuesWithTheFlagByte)
{
    XLSSharedStrings sst;
    sst.add(repeat('a', 4103));             // leaves 7 bytes
    sst.add("xyz");                         // count, flag and two characters fit
    sst.add(repeat('L', 20000));            // split over three CONTINUE records
    const auto recs = records(sst);
    ASSERT_EQ(recs.size(), 6u);
    EXPECT_EQ(recs[0].data.size(), 8u + 8216u);
    EXPECT_EQ(recs[0].data[8 + 3 + 8206], 3);            // count of "xyz"
    EXPECT_EQ(recs[0].data[recs[0].data.size() - 2], 'y');
    EXPECT_EQ(recs[1].number, 0x003C);
    EXPECT_EQ(recs[1].data[0], 1);                       // flag byte of the rest
    EXPECT_EQ(recs[1].data[1], 'z');
    // Then the long text: count, flag, and as many characters as fit.
    EXPECT_EQ(le16(recs[1].data, 3), 20000u);
    EXPECT_EQ(recs[1].data.size(), 8216u);               // 3 + 3 + 2 * 4105
    // Records continuing the split text carry at most 8,216 bytes.
    std::size_t chars = (recs[1].data.size() - 6) / 2;
    for (std::size_t i = 2; i < recs.size(); ++i) {
        EXPECT_EQ(recs[i].number, 0x003C);
        EXPECT_EQ(recs[i].data[0], 1);
        EXPECT_LE(recs[i].data.size(), 8216u);
        chars += (recs[i].data.size() - 1) / 2;
    }
    EXPECT_EQ(recs[2].data.size(), 8215u);
    EXPECT_EQ(chars, 20000u);
}

// The records produced while being read equal the records written into
// chunks, and their announced length is exact.
TEST(XLSSharedStrings, RecordSourceMatchesWrittenRecords)
{
    XLSSharedStrings sst;
    for (int i = 0; i < 3000; ++i) {
        std::string text = "Položka " + std::to_string(i) + " ";
        for (int k = 0; k < i % 97; ++k)
            text += "ž";
        sst.add(text);
    }
    sst.add(std::string(30000, 'L'));
    ChunkStreamList list;
    sst.writeRecords(list);
    list.rewind();
    std::string written(list.size(), '\0');
    list.read(written.data(), written.size());

    XLSSharedStrings::RecordSource source(sst);
    EXPECT_EQ(source.remaining(), written.size());
    EXPECT_EQ(sst.recordsSize(), written.size());
    std::string produced;
    char buf[1000];
    while (std::size_t n = source.read(buf, sizeof buf))
        produced.append(buf, n);
    EXPECT_TRUE(produced == written);
    EXPECT_EQ(source.remaining(), 0u);
}
