// Index files that lie: each damaged variant gives "Invalid MDX file." when
// the table opens (the table opening for reading all the same) or at the
// first change, which then leaves every tag as it was; nothing crashes or
// hangs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "dbf/Error.h"
#include "dbf/Messages.h"
#include "dbf/index/IndexFile.h"
#include "dbf/index/MdxTestTable.h"
#include "dbf/io/ByteOrder.h"
#include "dbf/table/TableFile.h"

namespace karto {
namespace {

using test::FieldSpec;
using test::MdxTestTable;
using Bytes = std::vector<uint8_t>;

const std::vector<FieldSpec> kFields = {{"NAME", 'C', 10}, {"CODE", 'N', 8, 2}, {"DATUM", 'D', 8}, {"ID", 'C', 4}};

const std::vector<IndexTagDefinition> kTags = {
    {"NAME", "NAME", false, iuNormal},
    {"CODE", "CODE", true, iuNormal},
    {"DATUM", "DATUM", false, iuNormal},
    {"ID", "ID", false, iuDistinct},
};

uint8_t* tagEntry(Bytes& m, int tag)
{
    return m.data() + 512 + (tag + 1) * 32;
}
uint8_t* tagHeader(Bytes& m, int tag)
{
    return m.data() + loadLE32(tagEntry(m, tag)) * 512;
}
uint32_t rootPage(Bytes& m, int tag)
{
    return loadLE32(tagHeader(m, tag));
}
uint8_t* block(Bytes& m, uint32_t page)
{
    return m.data() + page * 512;
}

enum When { AtOpen, AtChange, Either };

TEST(IndexHostile, DamagedFilesAreRefusedCleanly)
{
    struct Case {
        const char* what;
        When when;
        std::function<void(Bytes&)> damage;
    };
    const Case cases[] = {
        {"no pages per block", AtOpen, [](Bytes& m) { storeLE16(m.data() + 20, 0); }},
        {"block size 0", AtOpen, [](Bytes& m) { storeLE16(m.data() + 22, 0); }},
        {"block size not 512 x pages per block", AtOpen, [](Bytes& m) { storeLE16(m.data() + 22, 1000); }},
        {"48 tags", AtOpen, [](Bytes& m) { storeLE16(m.data() + 28, 48); }},
        {"60000 tags", AtOpen, [](Bytes& m) { storeLE16(m.data() + 28, 60000); }},
        {"tag header on an odd page", AtOpen, [](Bytes& m) { storeLE32(tagEntry(m, 1), loadLE32(tagEntry(m, 1)) + 1); }},
        {"tag header beyond the file", AtOpen, [](Bytes& m) { storeLE32(tagEntry(m, 2), 4000000000u); }},
        {"tag header in the header area", AtOpen, [](Bytes& m) { storeLE32(tagEntry(m, 0), 2); }},
        {"key length 0", AtOpen, [](Bytes& m) { storeLE16(tagHeader(m, 0) + 12, 0); }},
        {"key length 101", AtOpen, [](Bytes& m) { storeLE16(tagHeader(m, 0) + 12, 101); }},
        {"a full block running past its end", AtOpen, [](Bytes& m) { storeLE16(tagHeader(m, 0) + 14, 64); }},
        {"65535 keys a block", AtOpen, [](Bytes& m) { storeLE16(tagHeader(m, 0) + 14, 65535); }},
        {"entry size below the key", AtOpen, [](Bytes& m) { storeLE16(tagHeader(m, 0) + 18, 8); }},
        {"numeric key type on a character expression", AtOpen, [](Bytes& m) { tagHeader(m, 0)[9] = 'N'; }},
        {"key length not the expression's", AtOpen, [](Bytes& m) { storeLE16(tagHeader(m, 0) + 12, 9); }},
        {"date key on a numeric field", AtOpen,
         [](Bytes& m) {
             tagHeader(m, 1)[9] = 'D';
             storeLE16(tagHeader(m, 1) + 12, 8);
         }},
        {"root on an odd page", AtOpen, [](Bytes& m) { storeLE32(tagHeader(m, 3), rootPage(m, 3) + 1); }},
        {"root beyond the file", AtOpen, [](Bytes& m) { storeLE32(tagHeader(m, 3), 1000000); }},
        {"root holding more keys than a block", AtOpen, [](Bytes& m) { storeLE32(block(m, rootPage(m, 1)), 70000); }},
        {"expression without its end", AtOpen,
         [](Bytes& m) { std::memset(tagHeader(m, 0) + 24, 'N', 220); }},
        {"inner blocks whose children are themselves", AtChange,
         [](Bytes& m) {
             uint8_t* r = block(m, rootPage(m, 2));
             const uint32_t k = loadLE32(r);
             for (uint32_t i = 0; i <= k; ++i)
                 storeLE32(r + 8 + i * 12, rootPage(m, 2));
         }},
        {"a leaf holding more keys than a block", AtChange,
         [](Bytes& m) {
             const uint32_t firstLeaf = loadLE32(block(m, rootPage(m, 3)) + 8);
             storeLE32(block(m, firstLeaf), 1000);
         }},
        {"a child in the header area", AtChange,
         [](Bytes& m) {
             uint8_t* r = block(m, rootPage(m, 3));
             storeLE32(r + 8, 2);
         }},
        {"file cut in its trees", Either, [](Bytes& m) { m.resize(m.size() - 3000); }},
        {"file cut in its header", AtOpen, [](Bytes& m) { m.resize(600); }},
    };
    MdxTestTable t(kFields);
    std::vector<test::ValueRecord> records;
    for (int i = 1; i <= 300; ++i)
        records.push_back({{"n" + std::to_string(i % 17), std::to_string(i) + ".5",
                            "2001" + std::string(i % 12 < 9 ? "0" : "") + std::to_string(i % 12 + 1) + "03",
                            "B" + std::to_string(i)}});
    t.make(records, kTags);
    const Bytes good = t.mdxBytes();
    const Bytes tableGood = t.tableBytes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes m = good;
        c.damage(m);
        t.writeMdx(m);
        t.dir().write("t.dbf", tableGood);
        TableFile table;
        t.open(table);
        if (!table.indexProblem().empty()) {
            EXPECT_NE(c.when, AtChange) << table.indexProblem();
            EXPECT_EQ(table.indexProblem(), msg::kInvalidMdxFile);
            EXPECT_THROW(t.append(table, {"x", "1", "20200101", "A0"}), TableError);
            table.close();
            EXPECT_EQ(t.mdxBytes(), m);
            EXPECT_EQ(t.tableBytes(), tableGood);
            continue;
        }
        EXPECT_NE(c.when, AtOpen);
        std::string error = "(no error)";
        try {
            t.append(table, {"aaa", "-7", "19000101", "A0"});
            t.edit(table, 5, {"zzz", "99999", "20991231", "ZZ"});
        } catch (const std::exception& e) {
            error = e.what();
        }
        EXPECT_EQ(error, msg::kInvalidMdxFile);
        EXPECT_EQ(t.mdxBytes(), m) << "every tag as it was";
        // Every later change is refused too.
        EXPECT_THROW(t.append(table, {"bbb", "1", "20200101", "A1"}), IndexError);
        table.close();
    }
}

// The expression of a tag that does not parse: the parser's error is the
// reason; the table opens for reading.
TEST(IndexHostile, AnExpressionThatDoesNotParse)
{
    MdxTestTable t(kFields);
    t.make({{{"a", "1", "20200101", "B1"}}}, kTags);
    Bytes m = t.mdxBytes();
    std::memcpy(tagHeader(m, 2) + 24, "NOSUCHFIELD", 12);
    t.writeMdx(m);
    TableFile table;
    t.open(table);
    EXPECT_FALSE(table.indexProblem().empty());
    EXPECT_NE(table.indexProblem(), msg::kInvalidMdxFile);
    EXPECT_EQ(table.recordCount(), 1);
    EXPECT_THROW(t.append(table, {"x", "1", "20200101", "A0"}), TableError);
}

// A tag name filling its whole slot is read up to the slot's end.
TEST(IndexHostile, ANameFillingItsSlot)
{
    MdxTestTable t(kFields);
    t.make({{{"a", "1", "20200101", "B1"}}}, kTags);
    Bytes m = t.mdxBytes();
    std::memset(tagEntry(m, 0) + 4, 'Q', 11);
    t.writeMdx(m);
    TableFile table;
    t.open(table);
    ASSERT_NE(table.indexFile(), nullptr) << table.indexProblem();
    EXPECT_EQ(table.indexFile()->tags()[0].name, std::string(11, 'Q'));
}

} // namespace
} // namespace karto
