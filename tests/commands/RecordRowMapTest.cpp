#include "commands/RecordRowMap.h"

#include <gtest/gtest.h>

namespace karto {
namespace {

TEST(RecordRowMap, IdentityCostsNothing)
{
    RecordRowMap map;
    map.resetIdentity(10'000'000);
    EXPECT_TRUE(map.complete());
    EXPECT_EQ(map.rowCount(), 10'000'000);
    EXPECT_EQ(map.recordOfRow(9'999'999), 10'000'000);
    EXPECT_EQ(map.rowOfRecord(5), 4);
    EXPECT_EQ(map.recordOfRow(10'000'000), 0);
}

TEST(RecordRowMap, ScanKeepsVisibleRecordsInSlices)
{
    RecordRowMap map;
    map.resetScan(10);
    auto odd = [](int recNo) { return recNo % 2 == 1; };
    EXPECT_EQ(map.scan(odd, 4), 2);       // records 1-4
    EXPECT_FALSE(map.complete());
    EXPECT_EQ(map.rowOfRecord(6), -1);    // not scanned yet
    EXPECT_EQ(map.scan(odd, 100), 3);
    EXPECT_TRUE(map.complete());
    EXPECT_EQ(map.rowCount(), 5);
    EXPECT_EQ(map.recordOfRow(4), 9);
    EXPECT_EQ(map.rowOfRecord(3), 1);
    EXPECT_EQ(map.rowOfRecord(4), 2);     // hidden: the next visible record's row
    EXPECT_EQ(map.rowOfRecord(10), -1);   // nothing after it
    EXPECT_EQ(map.scannedRecords(), 10);
}

// Records appended and deleted while the table is open.
TEST(RecordRowMap, AppendedAndRemovedRecords)
{
    RecordRowMap identity;
    identity.resetIdentity(5);
    EXPECT_EQ(identity.appendRecord(6, true), 5);
    EXPECT_EQ(identity.rowCount(), 6);
    EXPECT_EQ(identity.removeRecord(3), -1) << "every record is a row";

    RecordRowMap map;
    map.resetScan(6);
    auto odd = [](int recNo) { return recNo % 2 == 1; };
    map.scan(odd, 4);
    EXPECT_EQ(map.appendRecord(7, true), -1) << "records 5 and 6 are still to be looked at";
    map.scan(odd, 100);
    EXPECT_TRUE(map.complete());
    EXPECT_EQ(map.recordOfRow(3), 7);
    EXPECT_EQ(map.appendRecord(8, true), 4);
    EXPECT_EQ(map.appendRecord(9, false), -1);
    EXPECT_TRUE(map.complete());
    EXPECT_EQ(map.rowCount(), 5);
    EXPECT_EQ(map.removeRecord(3), 1);
    EXPECT_EQ(map.removeRecord(4), -1) << "not a row";
    EXPECT_EQ(map.rowCount(), 4);
    EXPECT_EQ(map.recordOfRow(1), 5);
}

TEST(RecordRowMap, EmptyTable)
{
    RecordRowMap map;
    map.resetScan(0);
    EXPECT_TRUE(map.complete());
    EXPECT_EQ(map.rowCount(), 0);
    map.resetIdentity(0);
    EXPECT_EQ(map.rowOfRecord(1), -1);
}

} // namespace
} // namespace karto
