#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dbf/field/DateTimeConvert.h"
#include "dbf/field/FieldValue.h"
#include "dbf/field/FormatSettings.h"
#include "dbf/field/NumberText.h"

using namespace karto;

namespace {

// A table of fields laid out one after another behind the deletion flag.
struct Table {
    explicit Table(XBaseVersion version) : defs(version) {}

    FieldDef& add(const char* name, char letter, int size, int decimals = 0, int nullPosition = -1)
    {
        FieldDef& def = defs.addFieldDef();
        def.setFieldName(name);
        def.setSize(size);
        def.setPrecision(decimals);
        def.setNativeFieldType(letter);
        def.setOffset(recordSize);
        def.setNullPosition(nullPosition);
        recordSize += def.size();
        return def;
    }
    std::vector<uint8_t> record(const std::string& fields) const
    {
        std::vector<uint8_t> r(static_cast<size_t>(recordSize), ' ');
        std::memcpy(r.data() + 1, fields.data(), std::min(fields.size(), r.size() - 1));
        return r;
    }
    RecordFormat format() const { return recordFormatOf(defs); }

    FieldDefs defs;
    int recordSize = 1;
};

FormatSettings pinnedSettings()
{
    FormatSettings s;
    s.setShortDateFormat("d.M.yyyy");
    s.setLongTimeFormat("H:mm:ss");
    s.setThousandSeparator(" ");
    return s;
}

std::string textOf(const Table& t, int field, const std::vector<uint8_t>& rec)
{
    std::string out;
    appendFieldText(out, t.defs.item(field), t.format(), rec, pinnedSettings());
    return out;
}

double dateTime(int y, int m, int d, int h = 0, int mi = 0, int s = 0)
{
    return timeStampToDateTime(TimeStamp{timeStampDay(y, m, d), ((h * 60 + mi) * 60 + s) * 1000});
}

std::string bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s.push_back(static_cast<char>(b));
    return s;
}

} // namespace

// ---- Number rules ----------------------------------------------------------

TEST(FieldValueNumbers, IntegerRule)
{
    struct Case {
        const char* text;
        bool ok;
        int64_t value;
    } cases[] = {
        {"-12", true, -12},        {"  +7", true, 7},          {"12.5", true, 12},
        {"13.5", true, 14},        {"-2.5", true, -2},         {"1e3", true, 1000},
        {"abc", false, 0},         {"", false, 0},             {"- 1", false, 0},
        {"9223372036854775807", true, INT64_MAX},
        {"-9223372036854775808", true, INT64_MIN},
        {"99999999999999999999", false, 0},   // beyond 64 bits even when rounded
        {"1,5", false, 0},
    };
    for (const Case& c : cases) {
        int64_t v = 0;
        EXPECT_EQ(parseIntegerRule(c.text, v), c.ok) << c.text;
        if (c.ok)
            EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(FieldValueNumbers, NumberRule)
{
    struct Case {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"1.5", true, 1.5},   {"-.5", true, -0.5},  {"5.", true, 5.0},     {"+1E3", true, 1000.0},
        {"2.5e-1", true, 0.25}, {" 7 ", true, 7.0}, {"1,5", false, 0},     {"inf", false, 0},
        {"nan", false, 0},    {"0x10", false, 0},   {"1e", false, 0},      {".", false, 0},
        {"1e999", false, 0},  {"123456789012345678901", false, 0},   // 21 characters
    };
    for (const Case& c : cases) {
        double v = 0;
        EXPECT_EQ(parseNumberRule(c.text, v), c.ok) << c.text;
        if (c.ok)
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
}

TEST(FieldValueNumbers, GeneralFloatText)
{
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {12.5, "12.5"},  {12.50, "12.5"},   {0.0001, "0.0001"}, {1e20, "1E20"},   {1.5e-5, "1.5E-5"},
        {0.0, "0"},      {-0.0, "0"},       {-3.0, "-3"},       {0.1 + 0.2, "0.3"},
        {123456789012345.0, "123456789012345"}, {1e15, "1E15"}, {2.0 / 3.0, "0.666666666666667"},
        {-1.25e-300, "-1.25E-300"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
    };
    for (const Case& c : cases) {
        std::string out;
        appendGeneralFloat(out, c.value);
        EXPECT_EQ(out, c.text) << c.value;
    }
}

TEST(FieldValueNumbers, NumberTextRule)
{
    struct Case {
        double value;
        int width;
        int decimals;
        const char* text;
    } cases[] = {
        {12.5, 8, 2, "   12.50"},
        {0.0, 4, 2, "0.00"},
        {123456789.0, 5, 0, "1.2E8"},
        {12.5, 4, 2, "12.5"},         // zeros only while the width allows
        {12.5, 3, 2, " 13"},          // fewer digits
        {12345.6, 5, 1, "12346"},     // the integer part fills the width: point and decimals go
        {99999.9, 5, 1, "  1E5"},
        {-1.5, 6, 2, " -1.50"},
        {0.125, 6, 2, "  0.13"},      // half away from zero on the digits
        {2.5, 3, 0, "  3"},
        {1.2345e18, 10, 0, " 1.2345E18"},
        {1e-10, 6, 2, "  0.00"},
        {-0.001, 5, 2, " 0.00"},
        {123456.0, 3, 0, "1E5"},
        {123456.0, 2, 0, "  "},       // nothing fits
        {std::numeric_limits<double>::quiet_NaN(), 4, 0, "    "},
        {1e300, 20, 2, "               1E300"},
    };
    for (const Case& c : cases) {
        std::string field(static_cast<size_t>(c.width), '#');
        formatNumberField(field.data(), c.width, c.decimals, c.value);
        EXPECT_EQ(field, c.text) << c.value << " w" << c.width << " d" << c.decimals;
    }
}

TEST(FieldValueNumbers, IntegerTextRule)
{
    struct Case {
        int64_t value;
        int width;
        char pad;
        const char* text;
    } cases[] = {
        {12, 10, '0', "0000000012"},
        {5000000000LL, 12, ' ', "  5000000000"},
        {123456789, 5, ' ', "1.2E8"},
        {12345678901LL, 10, '0', "0000000000"},   // a memo block number that does not fit
        {-12, 5, ' ', "  -12"},
        {INT64_MIN, 20, ' ', "-9223372036854775808"},
    };
    for (const Case& c : cases) {
        std::string field(static_cast<size_t>(c.width), '#');
        formatIntegerField(field.data(), c.width, c.value, c.pad);
        EXPECT_EQ(field, c.text) << c.value;
    }
}

TEST(FieldValueNumbers, ScaledCurrencyText)
{
    struct Case {
        int64_t scaled;
        const char* text;
    } cases[] = {
        {125000, "12.5"}, {-30000, "-3"}, {1, "0.0001"}, {0, "0"}, {-5000, "-0.5"},
        {INT64_MIN, "-922337203685477.5808"}, {INT64_MAX, "922337203685477.5807"},
    };
    for (const Case& c : cases) {
        std::string out;
        appendScaledCurrency(out, c.scaled);
        EXPECT_EQ(out, c.text);
    }
}

// ---- Decoding ----------------------------------------------------------------

TEST(FieldValueDecode, StringFields)
{
    Table t(xBaseIII);
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

TEST(FieldValueDecode, NumericTextFields)
{
    Table t(xBaseIII);
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
        if (c.has)
            EXPECT_EQ(v, c.value) << c.n5;
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

TEST(FieldValueDecode, DatesAndLogicals)
{
    Table t(xBaseIII);
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
        if (c.has)
            EXPECT_EQ(v, c.value) << c.d;
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
        if (c.has)
            EXPECT_EQ(v, c.value) << c.c;
    }
}

TEST(FieldValueDecode, BinaryIntegers)
{
    Table d7(xBaseVII);
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
        if (c.has)
            EXPECT_EQ(v, c.value);
        EXPECT_EQ(getFieldData(d7.defs.item(1), d7.format(), rec, ftAutoInc, &v), c.has);
    }

    Table fox(xFoxPro);
    fox.add("I", 'I', 4);
    auto rec = fox.record(bytes({0xFE, 0xFF, 0xFF, 0xFF}));
    int32_t v = 0;
    ASSERT_TRUE(getFieldData(fox.defs.item(0), fox.format(), rec, ftInteger, &v));
    EXPECT_EQ(v, -2);
    rec = fox.record(bytes({0, 0, 0, 0}));
    ASSERT_TRUE(getFieldData(fox.defs.item(0), fox.format(), rec, ftInteger, &v));   // FoxPro: never empty
    EXPECT_EQ(v, 0);
}

TEST(FieldValueDecode, BinaryFloatsAndMoney)
{
    Table d7(xBaseVII);
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

    Table fox(xFoxPro);
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

TEST(FieldValueDecode, BinaryDateTimes)
{
    Table t(xFoxPro);
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

    Table d7(xBaseVII);
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

TEST(FieldValueDecode, MemoBlockNumbers)
{
    Table d3(xBaseIII);
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

    Table fox(xFoxPro);
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

TEST(FieldValueDecode, FieldOutsideTheRecordIsEmpty)
{
    Table t(xBaseVII);
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

// ---- Null flags ----------------------------------------------------------------

TEST(FieldValueNulls, NullBitDecidesWithoutDestination)
{
    Table t(xFoxPro);
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

TEST(FieldValueNulls, ShortNullFlagsFieldIsNotReadPastItsEnd)
{
    Table t(xFoxPro);
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

// ---- Encoding ------------------------------------------------------------------

TEST(FieldValueEncode, TextLetters)
{
    Table t(xBaseIII);
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

    Table d7(xBaseVII);
    d7.add("C", 'C', 3);
    auto r7 = d7.record("abc");
    setFieldData(d7.defs.item(0), d7.format(), r7, ftString, nullptr);
    EXPECT_EQ(r7, std::vector<uint8_t>({' ', 0, 0, 0}));
}

TEST(FieldValueEncode, BinaryLettersRoundTrip)
{
    Table d7(xBaseVII);
    d7.add("I", 'I', 4);
    d7.add("O", 'O', 8);
    d7.add("TS", '@', 8);
    Table fox(xFoxPro);
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

TEST(FieldValueEncode, EmptyRecord)
{
    Table fox(xFoxPro);
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

    Table d7(xBaseVII);
    d7.add("C", 'C', 3);
    FieldDef& withDefault = d7.add("D", 'C', 2);
    d7.add("N", 'N', 3);
    withDefault.allocBuffers();
    std::memcpy(withDefault.defaultBuf(), "ok", 2);
    withDefault.setHasDefault(true);
    rec = buildEmptyRecord(d7.defs, d7.recordSize);
    EXPECT_EQ(rec, std::vector<uint8_t>({' ', 0, 0, 0, 'o', 'k', ' ', ' ', ' '}));
}

TEST(FieldValueEncode, AutoIncrement)
{
    Table d7(xBaseVII);
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

    Table d3(xBaseIII);
    d3.add("N", 'N', 4);
    auto r3 = d3.record("");
    EXPECT_FALSE(applyAutoIncToBuffer(d3.defs, r3, header));
}

// ---- Text forms ------------------------------------------------------------------

TEST(FieldValueText, BenchmarkTableFields)
{
    Table t(xBaseIII);
    t.add("NAME", 'C', 30);
    t.add("CITY", 'C', 20);
    t.add("QTY", 'N', 10);
    t.add("PRICE", 'N', 12, 2);
    t.add("DATE", 'D', 8);
    t.add("OK", 'L', 1);
    t.add("NOTE", 'C', 60);
    std::string fields = "  Nov\xE1k" + std::string(23, ' ') + "Praha" + std::string(15, ' ') + "      -120"
                         + "       12.50" + "20201231" + "t" + std::string(60, ' ');
    auto rec = t.record(fields);
    const char* expected[] = {"  Nov\xE1k", "Praha", "-120", "12.5", "31.12.2020", "True", ""};
    std::string out;
    out.reserve(256);
    const auto* before = out.data();
    for (int i = 0; i < 7; ++i) {
        out.clear();
        const bool has = appendFieldText(out, t.defs.item(i), t.format(), rec, pinnedSettings());
        EXPECT_EQ(out, expected[i]) << i;
        EXPECT_EQ(has, i != 6) << i;
    }
    EXPECT_EQ(out.data(), before);   // appended in place
}

TEST(FieldValueText, EveryType)
{
    Table d7(xBaseVII);
    d7.add("TS", '@', 8);
    d7.add("O", 'O', 8);
    d7.add("I", 'I', 4);
    Table fox(xFoxPro);
    fox.add("T", 'T', 8);
    fox.add("Y", 'Y', 8);
    fox.add("B", 'B', 8);
    fox.add("M", 'M', 4);
    fox.add("F", 'F', 8, 3);
    fox.add("_NULLFLAGS", '0', 1);

    auto r7 = d7.record("");
    const RecordFormat f7 = d7.format();
    const double evening = dateTime(2021, 3, 4, 18, 5, 9);
    setFieldData(d7.defs.item(0), f7, r7, ftDateTime, &evening);
    const double value = 1e20;
    setFieldData(d7.defs.item(1), f7, r7, ftFloat, &value);
    const int32_t n = -42;
    setFieldData(d7.defs.item(2), f7, r7, ftInteger, &n);
    EXPECT_EQ(textOf(d7, 0, r7), "4.3.2021 18:05:09");
    EXPECT_EQ(textOf(d7, 1, r7), "1E20");
    EXPECT_EQ(textOf(d7, 2, r7), "-42");

    auto rf = buildEmptyRecord(fox.defs, fox.recordSize);
    const RecordFormat ff = fox.format();
    EXPECT_EQ(textOf(fox, 0, rf), "");
    EXPECT_EQ(textOf(fox, 1, rf), "0");
    const double midnight = dateTime(2021, 1, 1);
    setFieldData(fox.defs.item(0), ff, rf, ftDateTime, &midnight);
    EXPECT_EQ(textOf(fox, 0, rf), "1.1.2021");
    const int64_t money = 125000;
    setFieldData(fox.defs.item(1), ff, rf, ftBCD, &money);
    EXPECT_EQ(textOf(fox, 1, rf), "12.5");
    const double small = 1.5e-5;
    setFieldData(fox.defs.item(2), ff, rf, ftFloat, &small);
    EXPECT_EQ(textOf(fox, 2, rf), "1.5E-5");
    const int32_t block = 3;
    setFieldData(fox.defs.item(3), ff, rf, ftInteger, &block);
    std::string memoText;
    EXPECT_TRUE(appendFieldText(memoText, fox.defs.item(3), ff, rf, pinnedSettings()));
    EXPECT_EQ(memoText, "");
    const double f = 0.0001;
    setFieldData(fox.defs.item(4), ff, rf, ftFloat, &f);
    EXPECT_EQ(std::string(rf.begin() + 29, rf.begin() + 37), "   0.000");
    EXPECT_EQ(textOf(fox, 4, rf), "0");
}

TEST(FieldValueText, DateAndTimePatterns)
{
    FormatSettings s = pinnedSettings();
    struct Case {
        const char* date;
        const char* time;
        const char* expected;
    } cases[] = {
        {"dd.MM.yyyy", "HH:mm:ss", "05.03.0987 07:08:09"},
        {"d/M/yy", "h:mm AP", "5/3/87 7:08 dop."},
        {"dddd d. MMMM yyyy", "H:mm:ss.zzz", "pond\xC4\x9Bl\xC3\xAD 5. b\xC5\x99" "ezen 0987 7:08:09.045"},
        {"'den' d 'o''clock'", "H 'h' t", "den 5 o'clock 7 h"},
        {"yyyy-MM-dd", "hh:mm:ss ap", "0987-03-05 07:08:09 dop."},
    };
    for (const Case& c : cases) {
        s.setShortDateFormat(c.date);
        s.setLongTimeFormat(c.time);
        std::string out;
        s.appendDate(out, 987, 3, 5);
        out.push_back(' ');
        s.appendTime(out, 7, 8, 9, 45);
        EXPECT_EQ(out, c.expected) << c.date << " / " << c.time;
    }
    s.setLongTimeFormat("h:mm a");
    std::string out;
    s.appendTime(out, 0, 5, 0, 0);
    s.appendTime(out, 13, 5, 0, 0);
    EXPECT_EQ(out, "12:05 dop.1:05 odp.");
}

TEST(FieldValueText, GroupedNumber)
{
    FormatSettings s = pinnedSettings();
    struct Case {
        double value;
        int decimals;
        const char* text;
    } cases[] = {{1200000.5, 4, "1 200 000.5000"}, {-999.99999, 2, "-1 000.00"}, {0.0, 4, "0.0000"},
                 {123.0, 0, "123"}, {-0.00001, 2, "0.00"}};
    for (const Case& c : cases) {
        std::string out;
        s.appendGroupedNumber(out, c.value, c.decimals);
        EXPECT_EQ(out, c.text);
    }
}

TEST(FieldValueText, DateTimeConversions)
{
    EXPECT_EQ(timeStampDay(1, 1, 1), 1);
    EXPECT_EQ(timeStampDay(1899, 12, 30), kDateDelta);
    EXPECT_EQ(timeStampDay(9999, 12, 31), kMaxTimeStampDay);
    const CivilDate d = civilFromTimeStampDay(737791);
    EXPECT_EQ(d.year, 2021);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(dayOfWeek(737791), 5);   // a Friday
    // Before 1899 the time of day is subtracted.
    const TimeStamp ts = dateTimeToTimeStamp(-1.25);
    EXPECT_EQ(ts.date, kDateDelta - 1);
    EXPECT_EQ(ts.time, 6 * 3600 * 1000);
    EXPECT_EQ(timeStampToDateTime(ts), -1.25);
    EXPECT_THROW(dateTimeToTimeStamp(std::numeric_limits<double>::quiet_NaN()), ConvertError);
    EXPECT_THROW(dateTimeToTimeStamp(-693594.0), ConvertError);
    EXPECT_THROW(dateTimeToTimeStamp(3e6), ConvertError);
}
