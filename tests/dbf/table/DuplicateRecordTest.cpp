// A record duplicated through the dataset: its bytes copied (no text round
// trip), the deletion flag cleared, autoincrement values new, memo values in
// blocks of their own, and nothing at all when the append fails.
#include <gtest/gtest.h>

#include "support/ErrorOf.h"

#include <functional>

#include "dbf/Error.h"
#include "dbf/io/ByteOrder.h"
#include "dbf/table/TableDataset.h"
#include "dbf/table/TableFile.h"
#include "dbf/text/Windows1250.h"
#include "support/DbfBuilder.h"
#include "support/DbfReadBack.h"

namespace karto {
namespace {

using test::DbfSpec;
using test::TempDir;
using Bytes = std::vector<uint8_t>;

using test::errorOf;

// A dBase IV memo file whose block 1 holds `value`.
Bytes memoFileWith(const std::string& value)
{
    Bytes memo(1024, 0);
    storeLE32(memo.data(), 2);
    storeLE16(memo.data() + 20, 512);
    memo[512] = 0xFF;
    memo[513] = 0xFF;
    memo[514] = 0x08;
    storeLE32(memo.data() + 516, static_cast<uint32_t>(8 + value.size()));
    std::copy(value.begin(), value.end(), memo.begin() + 520);
    return memo;
}

Bytes recordOf(const Bytes& file, int headerSize, int recordSize, int recNo)
{
    const auto at = static_cast<std::ptrdiff_t>(headerSize + recordSize * (recNo - 1));
    return Bytes(file.begin() + at, file.begin() + at + recordSize);
}

TEST(DuplicateRecord, CopiesTheBytesAndTheMemoIntoNewBlocks)
{
    TempDir dir;
    DbfSpec spec;
    spec.version = 0x8B;
    spec.fields = {{"NAZEV", 'C', 6}, {"CENA", 'N', 12, 5}, {"DATUM", 'D', 8}, {"OK", 'L', 1}, {"POZN", 'M', 10}};
    // A price with more decimals than its text form shows, and a deleted record.
    spec.records = {" kun        3.1415920240229T         1", "*druhy     -1.0000020010101F          "};
    const std::string path = dir.write("d.dbf", test::buildDbf(spec));
    const std::string memoPath = dir.write("d.dbt", memoFileWith(utf8ToWindows1250("poznámka")));
    const int headerSize = 32 + 5 * 32 + 1;
    const int recordSize = 1 + 6 + 12 + 8 + 1 + 10;

    TableDataset ds;
    ds.setTableName(path);
    ds.setReadOnly(false);
    ds.setShowDeleted(true);
    ds.open();
    for (const int source : {1, 2}) {
        SCOPED_TRACE(source);
        ds.setRecNo(source);
        ds.duplicateRecord();
        EXPECT_EQ(ds.state(), dsBrowse);
        EXPECT_EQ(ds.recNo(), 2 + source) << "the copy is current";
        EXPECT_FALSE(ds.isDeleted());
    }
    EXPECT_EQ(ds.recordCount(), 4);
    EXPECT_EQ(ds.findField("POZN")->asString(), "");
    ds.setRecNo(3);
    EXPECT_EQ(ds.findField("POZN")->asString(), "poznámka");
    ds.close();

    const Bytes file = TempDir::read(path);
    Bytes first = recordOf(file, headerSize, recordSize, 1);
    Bytes copy = recordOf(file, headerSize, recordSize, 3);
    EXPECT_EQ(std::string(copy.begin(), copy.begin() + 28), std::string(first.begin(), first.begin() + 28))
        << "every byte but the memo block";
    EXPECT_EQ(std::string(copy.begin() + 28, copy.end()), "0000000002") << "a block of its own";
    Bytes second = recordOf(file, headerSize, recordSize, 2);
    Bytes secondCopy = recordOf(file, headerSize, recordSize, 4);
    EXPECT_EQ(secondCopy[0], ' ');
    EXPECT_EQ(Bytes(secondCopy.begin() + 1, secondCopy.end()), Bytes(second.begin() + 1, second.end()));
    const Bytes memo = TempDir::read(memoPath);
    EXPECT_EQ(loadLE32(memo.data()), 3u);

    if (!test::independentReaderAvailable())
        GTEST_SKIP() << "dbfread is not installed";
    const test::ReadBackTable back = test::readBackTable(path, "cp1250");
    ASSERT_TRUE(back.ok) << back.error;
    ASSERT_EQ(back.records.size(), 4u);
    EXPECT_EQ(back.records[2].values, back.records[0].values);
    EXPECT_EQ(back.records[2].values[1], "3.14159");
    EXPECT_FALSE(back.records[3].deleted);
    EXPECT_EQ(back.records[3].values, back.records[1].values);
}

// dBase 7: the autoincrement field gets the next value, a timestamp and a
// binary integer are copied exactly, the lock field starts from the empty
// record (the append stamps it).
TEST(DuplicateRecord, AutoIncrementIsNewAndBinaryValuesStayExact)
{
    TempDir dir;
    DbfSpec spec;
    spec.version = 0x04;
    spec.fields = {{"ID", '+', 4, 0, 0, 8}, {"KDY", '@', 8}, {"POCET", 'I', 4}, {"_DBASELOCK", 'C', 16}};
    Bytes record(1 + 4 + 8 + 4 + 16, 0);
    record[0] = ' ';
    storeBE32(record.data() + 1, 0x80000007u);
    const uint8_t stamp[8] = {0x42, 0xCC, 0xE2, 0x7F, 0x3A, 0x1B, 0x2C, 0x3D};   // milliseconds included
    std::copy(stamp, stamp + 8, record.begin() + 5);
    storeBE32(record.data() + 13, 0x80000000u + 12345);
    for (int i = 0; i < 16; ++i)
        record[17 + static_cast<size_t>(i)] = static_cast<uint8_t>('a' + i);
    spec.records = {std::string(record.begin(), record.end())};
    const std::string path = dir.write("d7.dbf", test::buildDbf(spec));

    TableDataset ds;
    ds.setTableName(path);
    ds.setReadOnly(false);
    ds.open();
    ds.duplicateRecord();
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_EQ(ds.findField("ID")->asString(), "8");
    ds.close();

    const Bytes file = TempDir::read(path);
    const int headerSize = 68 + 4 * 48 + 1;
    const Bytes copy = recordOf(file, headerSize, 33, 2);
    EXPECT_EQ(loadBE32(copy.data() + 1), 0x80000008u);
    EXPECT_EQ(Bytes(copy.begin() + 5, copy.begin() + 17), Bytes(record.begin() + 5, record.begin() + 17));
    EXPECT_NE(Bytes(copy.begin() + 17, copy.end()), Bytes(record.begin() + 17, record.end()))
        << "the source's lock stamp is not copied";
    EXPECT_EQ(loadLE32(file.data() + 68 + 42), 9u) << "the counter moved on";
}

TEST(DuplicateRecord, AFailedAppendLeavesNothingBehind)
{
    TempDir dir;
    DbfSpec spec;
    spec.fields = {{"NAZEV", 'C', 6}, {"CENA", 'N', 8, 2}};
    spec.records = {" jedna     1.50", " dva       2.50"};
    const std::string path = dir.write("f.dbf", test::buildDbf(spec));
    const Bytes before = TempDir::read(path);

    TableDataset ds;
    ds.setTableName(path);
    ds.setReadOnly(false);
    ds.open();
    TableFile other;   // another holder of the header lock
    other.setFileName(path);
    other.setMode(pfReadWriteOpen);
    other.open();
    ASSERT_TRUE(other.lockPage(0, false));
    ds.setRecNo(2);
    EXPECT_EQ(errorOf([&] { ds.duplicateRecord(); }), "Record locked.");
    EXPECT_EQ(ds.state(), dsBrowse);
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_EQ(ds.findField("NAZEV")->asString(), "dva");
    EXPECT_EQ(TempDir::read(path), before);
    other.unlockPage(0);
    ds.duplicateRecord();
    EXPECT_EQ(ds.recordCount(), 3);

    ds.close();
    ds.setReadOnly(true);
    ds.open();
    EXPECT_EQ(errorOf([&] { ds.duplicateRecord(); }), "Cannot modify a read-only dataset");
}

} // namespace
} // namespace karto
