#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/FieldTable.h"
#include "dbf/field/FieldDecode.h"
#include "dbf/field/FieldEncode.h"
#include "dbf/field/RecordFormat.h"

using namespace karto;
using test::FieldTable;
using test::textOf;
using test::bytes;

TEST(NullFlags, NullBitDecidesWithoutDestination)
{
    FieldTable t(xFoxPro);
    t.add("N", 'N', 5, 0, 0);
    t.add("I", 'I', 4, 0, 9);
    t.add("_NULLFLAGS", '0', 2);
    std::vector<uint8_t> rec = buildEmptyRecord(t.defs, t.recordSize);
    const RecordFormat f = t.format();
    ASSERT_EQ(f.nullFlagsOffset, 10);
    int32_t five = 5;
    setFieldData(t.defs.item(0), f, rec, ftInteger, &five);
    setFieldData(t.defs.item(1), f, rec, ftInteger, nullptr);
    EXPECT_EQ(rec[10], 0x00);
    EXPECT_EQ(rec[11], 0x02);   // bit 9: bit 1 of byte 1
    EXPECT_TRUE(getFieldData(t.defs.item(0), f, rec, ftInteger, nullptr));
    EXPECT_FALSE(getFieldData(t.defs.item(1), f, rec, ftInteger, nullptr));
    int32_t v = -1;
    EXPECT_TRUE(getFieldData(t.defs.item(1), f, rec, ftInteger, &v));   // the bytes decide with a destination
    EXPECT_EQ(v, 0);
    EXPECT_EQ(textOf(t, 1, rec), "");                                 // but the text form shows it empty
    EXPECT_TRUE(isNullBitSet(t.defs.item(1), f, rec));
    setFieldData(t.defs.item(0), f, rec, ftInteger, nullptr);
    EXPECT_EQ(rec[10], 0x01);
    setFieldData(t.defs.item(1), f, rec, ftInteger, &five);
    EXPECT_EQ(rec[11], 0x00);
    EXPECT_EQ(textOf(t, 1, rec), "5");
}

TEST(NullFlags, ShortNullFlagsFieldIsNotReadPastItsEnd)
{
    FieldTable t(xFoxPro);
    t.add("N", 'N', 5, 0, 12);          // bit 12 needs two bytes
    t.add("_NULLFLAGS", '0', 1);
    auto rec = t.record(std::string("   42") + bytes({0xFF}));
    const RecordFormat f = t.format();
    EXPECT_TRUE(getFieldData(t.defs.item(0), f, rec, ftInteger, nullptr));   // not null: the bytes decide
    EXPECT_EQ(textOf(t, 0, rec), "42");
    // A "_NULLFLAGS" that claims to run past the record is not read there either.
    RecordFormat wild = f;
    wild.nullFlagsSize = 100;
    EXPECT_FALSE(isNullBitSet(t.defs.item(0), wild, rec));
    int32_t v = 1;
    setFieldData(t.defs.item(0), wild, rec, ftInteger, &v);
    EXPECT_EQ(rec.size(), 7u);
}
