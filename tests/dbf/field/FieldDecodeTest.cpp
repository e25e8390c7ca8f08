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
using test::pinnedSettings;
using test::dateTime;
using test::bytes;

TEST(FieldDecode, StringFields)
{
    FieldTable t(xBaseIII);
    t.add("A", 'C', 6);
    char buf[8];
    auto rec = t.record("  ab  ");
    ASSERT_TRUE(getFieldData(t.defs.item(0), t.format(), rec, ftString, buf));
    EXPECT_STREQ(buf, "  ab");
    rec = t.record(std::string("ab\0cd ", 6));
    ASSERT_TRUE(getFieldData(t.defs.item(0), t.format(), rec, ftString, buf));
    EXPECT_STREQ(buf, "ab");
    rec = t.record(std::string("  \0\0  ", 6));
    std::strcpy(buf, "xx");
    EXPECT_FALSE(getFieldData(t.defs.item(0), t.format(), rec, ftString, buf));
    EXPECT_STREQ(buf, "");
    EXPECT_FALSE(getFieldData(t.defs.item(0), t.format(), {}, ftString, nullptr));
}

TEST(FieldDecode, NumericTextFields)
{
    FieldTable t(xBaseIII);
    t.add("N5", 'N', 5);
    t.add("N4", 'N', 4);
    t.add("F", 'F', 6, 2);
    t.add("N20", 'N', 20);
    EXPECT_EQ(t.defs.item(0).fieldType(), ftInteger);
    EXPECT_EQ(t.defs.item(1).fieldType(), ftSmallint);
    EXPECT_EQ(t.defs.item(3).fieldType(), ftLargeint);

    struct Case {
        const char* n5;
        bool has;
        int32_t value;
    } cases[] = {{"  -12", true, -12}, {" 12.5", true, 12}, {" 13.5", true, 14}, {"  abc", false, 0},
                 {"     ", false, 0}};
    for (const Case& c : cases) {
        auto rec = t.record(std::string(c.n5) + "    " + "      " + std::string(20, ' '));
        int32_t v = 0;
        EXPECT_EQ(getFieldData(t.defs.item(0), t.format(), rec, ftInteger, &v), c.has) << c.n5;
        if (c.has) {
            EXPECT_EQ(v, c.value) << c.n5;
        }
    }
    auto rec = t.record(std::string("     ") + "-999" + "   1,5" + "  99999999999999999");
    int16_t small = 0;
    ASSERT_TRUE(getFieldData(t.defs.item(1), t.format(), rec, ftSmallint, &small));
    EXPECT_EQ(small, -999);
    double f = 0;
    EXPECT_FALSE(getFieldData(t.defs.item(2), t.format(), rec, ftFloat, &f));
    EXPECT_TRUE(getFieldData(t.defs.item(2), t.format(), rec, ftFloat, nullptr));   // not blank
    int64_t big = 0;
    ASSERT_TRUE(getFieldData(t.defs.item(3), t.format(), rec, ftLargeint, &big));
    EXPECT_EQ(big, 99999999999999999LL);
    int32_t narrow = 0;
    EXPECT_FALSE(getFieldData(t.defs.item(3), t.format(), rec, ftInteger, &narrow));   // beyond 32 bits
    EXPECT_FALSE(getFieldData(t.defs.item(3), t.format(), rec, ftSmallint, &small));
}

TEST(FieldDecode, DatesAndLogicals)
{
    FieldTable t(xBaseIII);
    t.add("D", 'D', 8);
    t.add("L", 'L', 1);
    struct Case {
        const char* d;
        bool has;
        double value;
    } dates[] = {
        {"20201231", true, 44196.0}, {"        ", false, 0}, {"00000000", true, 0.0},
        {"20210230", true, 0.0},     {"2021 1 2", true, dateTime(2021, 1, 2)},
        {"18000101", true, dateTime(1800, 1, 1)},
    };
    for (const Case& c : dates) {
        double v = -1;
        auto rec = t.record(std::string(c.d) + " ");
        EXPECT_EQ(getFieldData(t.defs.item(0), t.format(), rec, ftDate, &v), c.has) << c.d;
        if (c.has) {
            EXPECT_EQ(v, c.value) << c.d;
        }
    }
    int32_t day = 0;
    auto rec = t.record("20210101T");
    ASSERT_TRUE(getFieldData(t.defs.item(0), t.format(), rec, ftDate, &day, true));
    EXPECT_EQ(day, 737791);

    struct LCase {
        char c;
        bool has;
        uint16_t value;
    } logicals[] = {{'T', true, 1}, {'t', true, 1}, {'Y', true, 0}, {'F', true, 0}, {'?', true, 0},
                    {' ', false, 0}};
    for (const LCase& c : logicals) {
        uint16_t v = 7;
        auto r = t.record(std::string("20200101") + c.c);
        EXPECT_EQ(getFieldData(t.defs.item(1), t.format(), r, ftBoolean, &v), c.has) << c.c;
        if (c.has) {
            EXPECT_EQ(v, c.value) << c.c;
        }
    }
}

TEST(FieldDecode, BinaryIntegers)
{
    FieldTable d7(xBaseVII);
    d7.add("I", 'I', 4);
    d7.add("A", '+', 4);
    struct Case {
        std::string raw;
        bool has;
        int32_t value;
    } cases[] = {
        {bytes({0x80, 0, 0, 5}), true, 5},
        {bytes({0x7F, 0xFF, 0xFF, 0xFF}), true, -1},
        {bytes({0, 0, 0, 0}), false, 0},
        {bytes({0, 0, 0, 1}), true, INT32_MIN + 1},
    };
    for (const Case& c : cases) {
        auto rec = d7.record(c.raw + c.raw);
        int32_t v = 0;
        EXPECT_EQ(getFieldData(d7.defs.item(0), d7.format(), rec, ftInteger, &v), c.has);
        if (c.has) {
            EXPECT_EQ(v, c.value);
        }
        EXPECT_EQ(getFieldData(d7.defs.item(1), d7.format(), rec, ftAutoInc, &v), c.has);
    }

    FieldTable fox(xFoxPro);
    fox.add("I", 'I', 4);
    auto rec = fox.record(bytes({0xFE, 0xFF, 0xFF, 0xFF}));
    int32_t v = 0;
    ASSERT_TRUE(getFieldData(fox.defs.item(0), fox.format(), rec, ftInteger, &v));
    EXPECT_EQ(v, -2);
    rec = fox.record(bytes({0, 0, 0, 0}));
    ASSERT_TRUE(getFieldData(fox.defs.item(0), fox.format(), rec, ftInteger, &v));   // FoxPro: never empty
    EXPECT_EQ(v, 0);
}

TEST(FieldDecode, BinaryFloatsAndMoney)
{
    FieldTable d7(xBaseVII);
    d7.add("O", 'O', 8);
    auto rec = d7.record(bytes({0xBF, 0xF0, 0, 0, 0, 0, 0, 0}));
    double v = 0;
    ASSERT_TRUE(getFieldData(d7.defs.item(0), d7.format(), rec, ftFloat, &v));
    EXPECT_EQ(v, 1.0);
    rec = d7.record(bytes({0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    ASSERT_TRUE(getFieldData(d7.defs.item(0), d7.format(), rec, ftFloat, &v));
    EXPECT_EQ(v, -1.0);
    rec = d7.record(std::string(8, '\0'));
    EXPECT_FALSE(getFieldData(d7.defs.item(0), d7.format(), rec, ftFloat, &v));

    FieldTable fox(xFoxPro);
    fox.add("B", 'B', 8);
    fox.add("Y", 'Y', 8);
    EXPECT_EQ(fox.defs.item(0).fieldType(), ftFloat);
    EXPECT_EQ(fox.defs.item(1).fieldType(), ftBCD);
    double half = -2.5;
    std::string raw(8, '\0');
    std::memcpy(raw.data(), &half, 8);
    const int64_t money = -123456;   // -12.3456
    std::string m(8, '\0');
    std::memcpy(m.data(), &money, 8);
    rec = fox.record(raw + m);
    ASSERT_TRUE(getFieldData(fox.defs.item(0), fox.format(), rec, ftFloat, &v));
    EXPECT_EQ(v, -2.5);
    int64_t scaled = 0;
    ASSERT_TRUE(getFieldData(fox.defs.item(1), fox.format(), rec, ftBCD, &scaled));
    EXPECT_EQ(scaled, -123456);
    ASSERT_TRUE(getFieldData(fox.defs.item(1), fox.format(), rec, ftCurrency, &v));
    EXPECT_DOUBLE_EQ(v, -12.3456);
    rec = fox.record(std::string(16, '\0'));
    EXPECT_TRUE(getFieldData(fox.defs.item(1), fox.format(), rec, ftBCD, nullptr));   // never empty
}

TEST(FieldDecode, BinaryDateTimes)
{
    FieldTable t(xFoxPro);
    t.add("T", 'T', 8);
    auto stamp = [](int32_t jd, int32_t ms) {
        std::string s(8, '\0');
        for (int i = 0; i < 4; ++i) {
            s[static_cast<size_t>(i)] = static_cast<char>((static_cast<uint32_t>(jd) >> (8 * i)) & 0xFF);
            s[static_cast<size_t>(4 + i)] = static_cast<char>((static_cast<uint32_t>(ms) >> (8 * i)) & 0xFF);
        }
        return s;
    };
    double v = 0;
    auto rec = t.record(stamp(2459216, 0));
    ASSERT_TRUE(getFieldData(t.defs.item(0), t.format(), rec, ftDateTime, &v));
    EXPECT_EQ(v, 44197.0);
    rec = t.record(stamp(2459216, 43200000));
    ASSERT_TRUE(getFieldData(t.defs.item(0), t.format(), rec, ftDateTime, &v));
    EXPECT_EQ(v, 44197.5);
    rec = t.record(stamp(2459216, 86400000));   // a whole day: next midnight
    ASSERT_TRUE(getFieldData(t.defs.item(0), t.format(), rec, ftDateTime, &v));
    EXPECT_EQ(v, 44198.0);
    rec = t.record(std::string(8, '\0'));
    EXPECT_FALSE(getFieldData(t.defs.item(0), t.format(), rec, ftDateTime, &v));

    // Values that are no timestamp: an error when read, never a wild value.
    for (const std::string& bad : {stamp(2459216, 86400001), stamp(2459216, -1), stamp(1721425, 5),
                                   stamp(INT32_MIN, 0), stamp(INT32_MAX, 0)}) {
        rec = t.record(bad);
        EXPECT_TRUE(getFieldData(t.defs.item(0), t.format(), rec, ftDateTime, nullptr));
        EXPECT_THROW(getFieldData(t.defs.item(0), t.format(), rec, ftDateTime, &v), ConvertError);
        std::string text;
        EXPECT_THROW(appendFieldText(text, t.defs.item(0), t.format(), rec, pinnedSettings()), ConvertError);
    }

    FieldTable d7(xBaseVII);
    d7.add("TS", '@', 8);
    auto msecs = [](double ms) {
        uint64_t bits;
        std::memcpy(&bits, &ms, 8);
        std::string s(8, '\0');
        for (int i = 0; i < 8; ++i)
            s[static_cast<size_t>(i)] = static_cast<char>((bits >> (56 - 8 * i)) & 0xFF);
        return s;
    };
    rec = d7.record(msecs(737791.0 * 86400000.0 + 3600000.0));
    ASSERT_TRUE(getFieldData(d7.defs.item(0), d7.format(), rec, ftDateTime, &v));
    EXPECT_DOUBLE_EQ(v, 44197.0 + 1.0 / 24.0);
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), -5.0, 1e300,
                       std::numeric_limits<double>::infinity(), 1000.0}) {
        rec = d7.record(msecs(bad));
        EXPECT_THROW(getFieldData(d7.defs.item(0), d7.format(), rec, ftDateTime, &v), ConvertError) << bad;
    }
}

TEST(FieldDecode, MemoBlockNumbers)
{
    FieldTable d3(xBaseIII);
    d3.add("M", 'M', 10);
    int32_t block = 0;
    auto rec = d3.record("0000000012");
    ASSERT_TRUE(getFieldData(d3.defs.item(0), d3.format(), rec, ftInteger, &block));
    EXPECT_EQ(block, 12);
    block = 0;
    ASSERT_TRUE(getFieldData(d3.defs.item(0), d3.format(), rec, ftMemo, &block));   // as its own type
    EXPECT_EQ(block, 12);
    rec = d3.record("          ");
    EXPECT_FALSE(getFieldData(d3.defs.item(0), d3.format(), rec, ftInteger, &block));

    FieldTable fox(xFoxPro);
    fox.add("M", 'M', 4);
    fox.add("G", 'G', 4);
    rec = fox.record(bytes({7, 1, 0, 0, 9, 0, 0, 0}));
    ASSERT_TRUE(getFieldData(fox.defs.item(0), fox.format(), rec, ftInteger, &block));
    EXPECT_EQ(block, 263);
    ASSERT_TRUE(getFieldData(fox.defs.item(1), fox.format(), rec, ftInteger, &block));
    EXPECT_EQ(block, 9);
    rec = fox.record(std::string(8, '\0'));
    EXPECT_FALSE(getFieldData(fox.defs.item(0), fox.format(), rec, ftMemo, &block));
}

TEST(FieldDecode, FieldOutsideTheRecordIsEmpty)
{
    FieldTable t(xBaseVII);
    t.add("C", 'C', 4);
    t.add("I", 'I', 4);
    auto rec = t.record("abcd");
    rec.resize(6);   // the "I" field runs past the end
    int32_t v = 0;
    EXPECT_FALSE(getFieldData(t.defs.item(1), t.format(), rec, ftInteger, &v));
    std::string text;
    EXPECT_FALSE(appendFieldText(text, t.defs.item(1), t.format(), rec, pinnedSettings()));
    EXPECT_THROW(setFieldData(t.defs.item(1), t.format(), rec, ftInteger, &v), TableError);
}
