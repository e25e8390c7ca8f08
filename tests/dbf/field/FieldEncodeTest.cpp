#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/FieldTable.h"
#include "dbf/field/DateTimeConvert.h"
#include "dbf/field/FieldDecode.h"
#include "dbf/field/FieldEncode.h"
#include "dbf/field/RecordFormat.h"

using namespace karto;
using test::FieldTable;
using test::dateTime;
using test::bytes;

TEST(FieldEncode, TextLetters)
{
    FieldTable t(xBaseIII);
    t.add("N82", 'N', 8, 2);
    t.add("N5", 'N', 5);
    t.add("N12", 'N', 12);
    t.add("D", 'D', 8);
    t.add("L", 'L', 1);
    t.add("C", 'C', 4);
    t.add("M", 'M', 10);
    auto rec = t.record("");
    const RecordFormat f = t.format();
    double d = 12.5;
    setFieldData(t.defs.item(0), f, rec, ftFloat, &d);
    int32_t i = 123456789;
    setFieldData(t.defs.item(1), f, rec, ftInteger, &i);
    int64_t big = 5000000000LL;
    setFieldData(t.defs.item(2), f, rec, ftLargeint, &big);
    double date = dateTime(2020, 12, 31, 13, 14, 15);
    setFieldData(t.defs.item(3), f, rec, ftDateTime, &date);   // cut to the 8 characters of the field
    uint16_t yes = 1;
    setFieldData(t.defs.item(4), f, rec, ftBoolean, &yes);
    setFieldData(t.defs.item(5), f, rec, ftString, "abcdef");
    int32_t block = 12;
    setFieldData(t.defs.item(6), f, rec, ftInteger, &block);
    EXPECT_EQ(std::string(rec.begin(), rec.end()), "    12.501.2E8  500000000020201231Tabcd0000000012");

    setFieldData(t.defs.item(5), f, rec, ftString, "x");
    setFieldData(t.defs.item(0), f, rec, ftFloat, nullptr);
    EXPECT_EQ(std::string(rec.begin(), rec.end()), "         1.2E8  500000000020201231Tx   0000000012");

    FieldTable d7(xBaseVII);
    d7.add("C", 'C', 3);
    auto r7 = d7.record("abc");
    setFieldData(d7.defs.item(0), d7.format(), r7, ftString, nullptr);
    EXPECT_EQ(r7, std::vector<uint8_t>({' ', 0, 0, 0}));
}

TEST(FieldEncode, BinaryLettersRoundTrip)
{
    FieldTable d7(xBaseVII);
    d7.add("I", 'I', 4);
    d7.add("O", 'O', 8);
    d7.add("TS", '@', 8);
    FieldTable fox(xFoxPro);
    fox.add("Y", 'Y', 8);
    fox.add("T", 'T', 8);
    fox.add("B", 'B', 8);
    fox.add("I", 'I', 4);

    auto r7 = d7.record("");
    const RecordFormat f7 = d7.format();
    int32_t i = 5;
    setFieldData(d7.defs.item(0), f7, r7, ftInteger, &i);
    EXPECT_EQ(std::string(r7.begin() + 1, r7.begin() + 5), bytes({0x80, 0, 0, 5}));
    double minusOne = -1.0;
    setFieldData(d7.defs.item(1), f7, r7, ftFloat, &minusOne);
    EXPECT_EQ(std::string(r7.begin() + 5, r7.begin() + 13), bytes({0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    double zero = 0.0;
    setFieldData(d7.defs.item(1), f7, r7, ftFloat, &zero);
    EXPECT_EQ(std::string(r7.begin() + 5, r7.begin() + 13), bytes({0x80, 0, 0, 0, 0, 0, 0, 0}));
    double back = -1;
    ASSERT_TRUE(getFieldData(d7.defs.item(1), f7, r7, ftFloat, &back));
    EXPECT_EQ(back, 0.0);
    const double when = dateTime(2021, 1, 1, 1, 0, 0);
    setFieldData(d7.defs.item(2), f7, r7, ftDateTime, &when);
    ASSERT_TRUE(getFieldData(d7.defs.item(2), f7, r7, ftDateTime, &back));
    EXPECT_DOUBLE_EQ(back, when);
    setFieldData(d7.defs.item(0), f7, r7, ftInteger, nullptr);
    EXPECT_FALSE(getFieldData(d7.defs.item(0), f7, r7, ftInteger, nullptr));
    int64_t tooBig = 1LL << 40;
    EXPECT_THROW(setFieldData(d7.defs.item(0), f7, r7, ftLargeint, &tooBig), ConvertError);

    auto rf = fox.record("");
    const RecordFormat ff = fox.format();
    struct Money {
        double value;
        int64_t scaled;
    } money[] = {{1.23, 12299}, {-1.23, -12299}, {0.1, 1000}, {12.5, 125000}, {922337203685477.0, 9223372036854770000LL}};
    for (const Money& m : money) {
        setFieldData(fox.defs.item(0), ff, rf, ftCurrency, &m.value);
        int64_t s = 0;
        ASSERT_TRUE(getFieldData(fox.defs.item(0), ff, rf, ftBCD, &s));
        EXPECT_EQ(s, m.scaled) << m.value;
    }
    for (double bad : {1e300, std::numeric_limits<double>::quiet_NaN(), -1e16}) {
        EXPECT_THROW(setFieldData(fox.defs.item(0), ff, rf, ftCurrency, &bad), ConvertError);
    }
    const double noon = dateTime(2021, 1, 1, 12, 0, 0);
    setFieldData(fox.defs.item(1), ff, rf, ftDateTime, &noon);
    EXPECT_EQ(std::string(rf.begin() + 9, rf.begin() + 17), bytes({0x50, 0x86, 0x25, 0, 0x00, 0x2E, 0x93, 0x02}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(setFieldData(fox.defs.item(1), ff, rf, ftDateTime, &nan), ConvertError);
    const double far = 1e9;
    EXPECT_THROW(setFieldData(fox.defs.item(1), ff, rf, ftDateTime, &far), ConvertError);
    const double pi = 3.25;
    setFieldData(fox.defs.item(2), ff, rf, ftFloat, &pi);
    double got = 0;
    ASSERT_TRUE(getFieldData(fox.defs.item(2), ff, rf, ftFloat, &got));
    EXPECT_EQ(got, 3.25);
    int32_t minusTwo = -2;
    setFieldData(fox.defs.item(3), ff, rf, ftInteger, &minusTwo);
    EXPECT_EQ(std::string(rf.begin() + 25, rf.begin() + 29), bytes({0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST(FieldEncode, EmptyRecord)
{
    FieldTable fox(xFoxPro);
    fox.add("C", 'C', 2);
    fox.add("T", 'T', 8);
    fox.add("M", 'M', 4, 0, 0);
    fox.add("B", 'B', 8);
    fox.add("_NULLFLAGS", '0', 1);
    std::vector<uint8_t> rec = buildEmptyRecord(fox.defs, fox.recordSize);
    std::vector<uint8_t> expected{' ', ' ', ' '};
    expected.resize(rec.size(), 0);
    EXPECT_EQ(rec, expected);
    EXPECT_FALSE(getFieldData(fox.defs.item(1), fox.format(), rec, ftDateTime, nullptr));
    // The memo field's null bit is clear, so it counts as not null, although
    // its block number reads as empty.
    EXPECT_TRUE(getFieldData(fox.defs.item(2), fox.format(), rec, ftMemo, nullptr));
    int32_t block = -1;
    EXPECT_FALSE(getFieldData(fox.defs.item(2), fox.format(), rec, ftMemo, &block));
    std::vector<uint8_t> dest(rec.size(), 'x');
    initRecord(rec, dest);
    EXPECT_EQ(dest, rec);

    FieldTable d7(xBaseVII);
    d7.add("C", 'C', 3);
    FieldDef& withDefault = d7.add("D", 'C', 2);
    d7.add("N", 'N', 3);
    withDefault.allocBuffers();
    std::memcpy(withDefault.defaultBuf(), "ok", 2);
    withDefault.setHasDefault(true);
    rec = buildEmptyRecord(d7.defs, d7.recordSize);
    EXPECT_EQ(rec, std::vector<uint8_t>({' ', 0, 0, 0, 'o', 'k', ' ', ' ', ' '}));
}

TEST(FieldEncode, AutoIncrement)
{
    FieldTable d7(xBaseVII);
    d7.add("C", 'C', 2);
    FieldDef& counter = d7.add("ID", '+', 4);
    counter.setAutoInc(7);
    std::vector<uint8_t> header(68 + 48 * 2 + 1, 0);
    auto rec = d7.record("ab");
    ASSERT_TRUE(applyAutoIncToBuffer(d7.defs, rec, header));
    int32_t v = 0;
    ASSERT_TRUE(getFieldData(counter, d7.format(), rec, ftAutoInc, &v));
    EXPECT_EQ(v, 7);
    EXPECT_EQ(counter.autoInc(), 8);
    EXPECT_EQ(header[68 + 48 + 42], 8);

    // Shared: the counter comes from the file.
    const auto fromFile = [](int64_t offset, uint8_t* out) {
        EXPECT_EQ(offset, 68 + 48 + 42);
        out[0] = 0x10;
        out[1] = out[2] = out[3] = 0;
        return true;
    };
    ASSERT_TRUE(applyAutoIncToBuffer(d7.defs, rec, header, fromFile));
    ASSERT_TRUE(getFieldData(counter, d7.format(), rec, ftAutoInc, &v));
    EXPECT_EQ(v, 16);
    EXPECT_EQ(counter.autoInc(), 17);

    // A header copy too short for the descriptor is left alone.
    std::vector<uint8_t> shortHeader(10, 0);
    ASSERT_TRUE(applyAutoIncToBuffer(d7.defs, rec, shortHeader));
    EXPECT_EQ(counter.autoInc(), 18);

    FieldTable d3(xBaseIII);
    d3.add("N", 'N', 4);
    auto r3 = d3.record("");
    EXPECT_FALSE(applyAutoIncToBuffer(d3.defs, r3, header));
}
