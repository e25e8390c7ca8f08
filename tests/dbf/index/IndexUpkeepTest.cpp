// The production index kept by appends and edits through the table file:
// the created file's layout, key violations of distinct tags leaving no
// trace, unique tags, untouched blocks, separators, splitting, and an index
// that cannot be kept leaving the table readable only.
#include <gtest/gtest.h>

#include "support/ErrorOf.h"

#include <cstdio>
#include <cstring>
#include <functional>

#include "dbf/Error.h"
#include "dbf/Messages.h"
#include "dbf/index/IndexFile.h"
#include "dbf/index/Reindex.h"
#include "dbf/io/ByteOrder.h"
#include "dbf/table/TableDataset.h"
#include "dbf/table/TableFile.h"
#include "dbf/index/MdxTestTable.h"

namespace karto {
namespace {

using test::FieldSpec;
using test::MdxTestTable;
using Bytes = std::vector<uint8_t>;

const std::vector<FieldSpec> kFields = {
    {"NAME", 'C', 10}, {"CODE", 'N', 8, 2}, {"DATUM", 'D', 8}, {"ID", 'C', 4}, {"NOTE", 'C', 6}};

std::vector<test::ValueRecord> someRecords(int n)
{
    std::vector<test::ValueRecord> out;
    for (int i = 1; i <= n; ++i) {
        char id[8];
        std::snprintf(id, sizeof id, "B%d", i);
        out.push_back({{"name" + std::to_string(i % 7), std::to_string(i * 3) + ".25",
                        "2020" + std::string(i % 12 < 9 ? "0" : "") + std::to_string(i % 12 + 1) + "15", id, "n"}});
    }
    return out;
}

const std::vector<IndexTagDefinition> kTags = {
    {"NAME", "NAME", false, iuNormal},
    {"CODEDESC", "CODE", true, iuNormal},
    {"DATUM", "DATUM", false, iuNormal},
    {"ID", "ID", false, iuDistinct},
};

using test::errorOf;

TEST(IndexCreate, FileLayoutOfANewIndex)
{
    struct Case {
        uint8_t version;
        const char* driver;
        int indexVersion;
        int entrySize;
        int headerPages;
    };
    for (const Case& c : {Case{0x03, "", 2, 32, 4}, Case{0x04, "DB852CZ0", 3, 43, 6}}) {
        SCOPED_TRACE(c.indexVersion);
        MdxTestTable t(kFields, c.version == 0x04 ? 0 : 0x1F, c.version);
        t.make(someRecords(300), kTags, c.driver);
        const Bytes m = t.mdxBytes();
        ASSERT_GE(m.size(), 4096u);
        EXPECT_EQ(m[0], c.indexVersion);
        EXPECT_EQ(loadLE16(m.data() + 20), 2);
        EXPECT_EQ(loadLE16(m.data() + 22), 1024);
        EXPECT_EQ(m[24], 1);
        EXPECT_EQ(m[25], 48);
        EXPECT_EQ(m[26], c.entrySize);
        EXPECT_EQ(loadLE16(m.data() + 28), 4);
        EXPECT_EQ(m[31], 0x1F);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.data() + 4)), "t");
        EXPECT_EQ(loadLE32(m.data() + 32) * 512u, m.size()) << "the next free page ends the file";
        EXPECT_EQ(m[512 + 17], 1) << "slot 0 is marked";
        const uint8_t* first = m.data() + 512 + c.entrySize;
        EXPECT_EQ(loadLE32(first), static_cast<uint32_t>(c.headerPages));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(first + 4)), "NAME");
        EXPECT_EQ(t.tableBytes()[28], 1) << "the table names its production index";
        EXPECT_TRUE(t.checked());

        TableFile table;
        t.open(table, pfReadOnly);
        ASSERT_NE(table.indexFile(), nullptr) << table.indexProblem();
        const std::vector<IndexTagInfo> tags = table.indexFile()->tags();
        ASSERT_EQ(tags.size(), 4u);
        EXPECT_EQ(tags[1].name, "CODEDESC");
        EXPECT_EQ(tags[1].keyType, 'N');
        EXPECT_EQ(tags[1].keyLength, 12);
        EXPECT_TRUE(tags[1].descending);
        EXPECT_EQ(tags[2].keyType, 'D');
        EXPECT_EQ(tags[3].uniqueMode, iuDistinct);
        EXPECT_EQ(tags[0].keyLength, 10);
    }
}

// A key already present in a distinct tag (the last tag: the others were
// changed before it refused): the record is not written, and no tag keeps
// a trace of it, for appends and for edits.
TEST(IndexUpkeep, DistinctViolationLeavesNoTrace)
{
    MdxTestTable t(kFields);
    t.make(someRecords(150), kTags);
    TableFile table;
    t.open(table);
    const Bytes mdxBefore = t.mdxBytes();
    const Bytes tableBefore = t.tableBytes();

    EXPECT_EQ(errorOf([&] { t.append(table, {"newname", "999", "20240101", "B2"}); }),
              "Key violation. (Key already present in file).\r\nIndex: ID\r\nRecord=2 Key='B2'.");
    EXPECT_EQ(t.mdxBytes(), mdxBefore);
    EXPECT_EQ(t.tableBytes(), tableBefore);
    EXPECT_EQ(table.recordCount(), 150);

    // An edit: refused, the record unwritten and still locked.
    std::vector<uint8_t> buffer(static_cast<size_t>(table.recordSize()));
    table.lockRecord(7, buffer.data());
    const std::string changed = t.record({"zzz", "1", "19990101", "B9"});
    try {
        table.unlockRecord(7, reinterpret_cast<const uint8_t*>(changed.data()));
        ADD_FAILURE() << "no key violation";
    } catch (const KeyViolationError& e) {
        EXPECT_STREQ(e.what(), "Key violation. (Key already present in file).\r\nIndex: ID\r\nRecord=9 Key='B9'.");
    }
    EXPECT_EQ(t.mdxBytes(), mdxBefore);
    EXPECT_EQ(t.tableBytes(), tableBefore);
    {
        TableFile other;
        t.open(other);
        std::vector<uint8_t> b(static_cast<size_t>(other.recordSize()));
        EXPECT_THROW(other.lockRecord(7, b.data()), RecordLockedError) << "still locked";
    }
    const std::string fixed = t.record({"zzz", "1", "19990101", "C7"});
    table.unlockRecord(7, reinterpret_cast<const uint8_t*>(fixed.data()));
    t.append(table, {"newname", "999", "20240101", "B151"});
    table.close();
    EXPECT_TRUE(t.checked());
}

// A key already present in a unique tag: the record is written without an
// entry there; editing and deleting it later is normal.
TEST(IndexUpkeep, UniqueTagKeepsTheFirstRecordOfAKey)
{
    MdxTestTable t(kFields);
    t.make(someRecords(20), {{"UNAME", "NAME", false, iuUnique}, {"ID", "ID", false, iuNormal}});
    TableFile table;
    t.open(table);
    const int32_t recNo = t.append(table, {"name3", "1", "20200101", "X1"});
    EXPECT_EQ(recNo, 21);
    EXPECT_TRUE(t.checked());
    t.edit(table, recNo, {"name3", "2", "20200101", "X2"});
    t.edit(table, recNo, {"brandnew", "2", "20200101", "X2"});
    EXPECT_TRUE(t.checked());
    // Another record of a key that has an entry of its own (no entry).
    t.append(table, {"brandnew", "1", "20200101", "X3"});
    t.edit(table, 22, {"brandnew2", "1", "20200101", "X3"});
    t.edit(table, 22, {"brandnew2", "1", "20200101", "X3"});
    EXPECT_TRUE(table.indexFile()->usable());
    EXPECT_TRUE(t.checked());
    // Deleting keeps every key (the mark changes no index).
    std::vector<uint8_t> buffer(static_cast<size_t>(table.recordSize()));
    const Bytes before = t.mdxBytes();
    table.lockRecord(22, buffer.data());
    buffer[0] = '*';
    table.unlockRecord(22, buffer.data());
    EXPECT_EQ(t.mdxBytes(), before);
    table.close();
}

TEST(IndexUpkeep, AFieldNoTagUsesLeavesEveryBlockUntouched)
{
    MdxTestTable t(kFields);
    t.make(someRecords(100), kTags);
    TableFile table;
    t.open(table);
    const Bytes before = t.mdxBytes();
    std::vector<uint8_t> buffer(static_cast<size_t>(table.recordSize()));
    table.lockRecord(40, buffer.data());
    std::memcpy(buffer.data() + 1 + 10 + 8 + 8 + 4, "other ", 6);
    table.unlockRecord(40, buffer.data());
    table.close();
    EXPECT_EQ(t.mdxBytes(), before);
    EXPECT_NE(t.tableBytes(), Bytes());
}

// Keys K0001 ... K0200 in leaves of 56 keys (seven eighths of 63). The
// first leaf's greatest key K0056 moving away makes K0055 its greatest, and the separator above
// follows; another record taking the key K0055 goes after it (a greater
// record number), into the next leaf, and the separator stays.
TEST(IndexUpkeep, AKeyBecomingItsLeafsGreatestUpdatesTheSeparator)
{
    MdxTestTable t({{"K", 'C', 10}});
    std::vector<test::ValueRecord> records;
    for (int i = 1; i <= 200; ++i) {
        char k[8];
        std::snprintf(k, sizeof k, "K%04d", i);
        records.push_back({{k}});
    }
    t.make(records, {{"K", "K", false, iuNormal}});
    TableFile table;
    t.open(table);
    const auto firstSeparator = [&] {
        const Bytes m = t.mdxBytes();
        const uint32_t tagHeader = loadLE32(m.data() + 512 + 32);
        const uint32_t root = loadLE32(m.data() + tagHeader * 512);
        const uint8_t* r = m.data() + root * 512;
        EXPECT_GE(loadLE32(r), 1u);
        return std::make_pair(std::string(reinterpret_cast<const char*>(r + 8 + 4), 10),
                              loadLE32(r + 8));
    };
    EXPECT_EQ(firstSeparator().first, "K0056     ");
    t.edit(table, 56, {"K0100A"});
    EXPECT_EQ(firstSeparator().first, "K0055     ");
    EXPECT_TRUE(t.checked());
    t.edit(table, 100, {"K0055"});
    EXPECT_EQ(firstSeparator().first, "K0055     ");
    table.close();
    EXPECT_TRUE(t.checked());
}

// A one-level tag whose leaf is full splits: a new root with one key and
// two children; two blocks of two pages each are allocated.
TEST(IndexUpkeep, FillingALeafSplitsIt)
{
    MdxTestTable t({{"LONG", 'C', 100}});
    t.make({}, {{"LONG", "LONG", false, iuNormal}});
    TableFile table;
    t.open(table);
    const auto nextFree = [&] { return loadLE32(t.mdxBytes().data() + 32); };
    const auto rootBlock = [&] {
        const Bytes m = t.mdxBytes();
        const uint32_t tagHeader = loadLE32(m.data() + 512 + 32);
        const uint32_t root = loadLE32(m.data() + tagHeader * 512);
        return Bytes(m.begin() + root * 512, m.begin() + root * 512 + 1024);
    };
    const uint32_t before = nextFree();
    for (int i = 0; i < 9; ++i)
        t.append(table, {std::string(1, static_cast<char>('a' + i))});
    EXPECT_EQ(nextFree(), before) << "9 keys fill the leaf (104-byte entries)";
    EXPECT_EQ(loadLE32(rootBlock().data()), 9u);
    t.append(table, {"j"});
    EXPECT_EQ(nextFree(), before + 4);
    const Bytes root = rootBlock();
    EXPECT_EQ(loadLE32(root.data()), 1u);
    EXPECT_NE(loadLE32(root.data() + 8), 0u);
    EXPECT_NE(loadLE32(root.data() + 8 + 104), 0u);
    table.close();
    EXPECT_TRUE(t.checked());
}

// An index for another language driver than the table's: the table opens,
// says why, and refuses every write; nothing is written.
TEST(IndexUpkeep, AnIndexOfAnotherLanguageLeavesTheTableReadOnly)
{
    MdxTestTable t(kFields);
    t.make(someRecords(10), kTags);
    Bytes m = t.mdxBytes();
    m[31] = 0x20;
    t.writeMdx(m);
    const Bytes tableBefore = t.tableBytes();
    TableFile table;
    t.open(table);
    EXPECT_EQ(table.indexFile(), nullptr);
    EXPECT_EQ(table.indexProblem(), msg::kIndexLanguageMismatch);
    EXPECT_EQ(errorOf([&] { t.append(table, {"x", "1", "20200101", "Q"}); }), msg::kReadOnlyDataset);
    std::vector<uint8_t> buffer(static_cast<size_t>(table.recordSize()));
    EXPECT_EQ(errorOf([&] { table.lockRecord(1, buffer.data()); }), msg::kReadOnlyDataset);
    table.close();
    EXPECT_EQ(t.tableBytes(), tableBefore);
    EXPECT_EQ(t.mdxBytes(), m);

    TableDataset ds;
    ds.setTableName(t.path());
    ds.open();
    ASSERT_EQ(ds.openWarnings().size(), 1u);
    EXPECT_EQ(ds.openWarnings()[0].kind, OpenWarning::IndexUnusable);
    EXPECT_EQ(ds.openWarnings()[0].fileName, t.mdxPath());
    EXPECT_EQ(ds.openWarnings()[0].reason, msg::kIndexLanguageMismatch);
    EXPECT_EQ(errorOf([&] { ds.edit(); }), msg::kReadOnlyDataset);
    EXPECT_EQ(errorOf([&] { ds.append(); }), msg::kReadOnlyDataset);
    EXPECT_EQ(ds.recordCount(), 10);
}

TEST(Reindex, RebuildsADamagedIndexKeepingItsTags)
{
    MdxTestTable t(kFields);
    t.make(someRecords(400), kTags);
    Bytes m = t.mdxBytes();
    const uint32_t tagHeader = loadLE32(m.data() + 512 + 3 * 32);
    const uint32_t root = loadLE32(m.data() + tagHeader * 512);
    storeLE32(m.data() + root * 512, 5000);   // more keys than a block holds
    t.writeMdx(m);
    {
        TableFile table;
        t.open(table);
        EXPECT_EQ(table.indexProblem(), msg::kInvalidMdxFile);
    }
    {
        TableFile other;   // another program has the table open
        t.open(other);
        EXPECT_THROW(reindexProductionIndex(t.path()), FileOpenError);
    }
    reindexProductionIndex(t.path());
    EXPECT_TRUE(t.checked());
    const std::vector<IndexTagDefinition> tags = IndexFile::readTagDefinitions(t.mdxPath());
    ASSERT_EQ(tags.size(), kTags.size());
    for (size_t i = 0; i < tags.size(); ++i) {
        EXPECT_EQ(tags[i].name, kTags[i].name);
        EXPECT_EQ(tags[i].expression, kTags[i].expression);
        EXPECT_EQ(tags[i].descending, kTags[i].descending);
        EXPECT_EQ(tags[i].uniqueMode, kTags[i].uniqueMode);
    }
    TableFile table;
    t.open(table);
    EXPECT_TRUE(table.indexProblem().empty());
    t.append(table, {"after", "1", "20200101", "NEW"});
    table.close();
    EXPECT_TRUE(t.checked());
    EXPECT_EQ(t.tableBytes()[28], 1);
}

TEST(Reindex, ATableWithoutIndexIsRefused)
{
    MdxTestTable t(kFields);
    t.make(someRecords(3), {});
    std::remove(t.mdxPath().c_str());
    EXPECT_EQ(errorOf([&] { reindexProductionIndex(t.path()); }), msg::kNoProductionIndex);
}

} // namespace
} // namespace karto
