#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/FieldTable.h"
#include "dbf/field/FieldEncode.h"
#include "dbf/field/FieldText.h"
#include "dbf/field/RecordFormat.h"

using namespace karto;
using test::FieldTable;
using test::pinnedSettings;
using test::textOf;
using test::dateTime;

TEST(FieldText, BenchmarkTableFields)
{
    FieldTable t(xBaseIII);
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

TEST(FieldText, EveryType)
{
    FieldTable d7(xBaseVII);
    d7.add("TS", '@', 8);
    d7.add("O", 'O', 8);
    d7.add("I", 'I', 4);
    FieldTable fox(xFoxPro);
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
