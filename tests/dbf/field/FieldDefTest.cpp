#include <gtest/gtest.h>

#include "dbf/Error.h"
#include "dbf/field/FieldDef.h"

namespace karto {
namespace {

struct LetterCase {
    XBaseVersion version;
    char letter;
    int size;
    int precision;
    FieldType type;
    int wantSize;
    int wantPrecision;
};

// Letter -> typed view, and the size rules, per version (letters set the way
// table creation sets them: size and decimals first, then the letter).
TEST(FieldDef, LetterMapsToTypeAndSizeRules)
{
    const LetterCase cases[] = {
        {xBaseIII, 'N', 4, 0, ftSmallint, 4, 0},
        {xBaseIII, 'N', 5, 0, ftInteger, 5, 0},
        {xBaseIII, 'N', 10, 0, ftLargeint, 10, 0},
        {xBaseIII, 'N', 10, 2, ftFloat, 10, 2},
        {xBaseIII, 'F', 25, 0, ftLargeint, 20, 0},
        {xBaseIII, 'N', 5, 4, ftFloat, 5, 3},
        {xBaseIII, 'n', 0, 0, ftSmallint, 1, 0},
        {xFoxPro, 'B', 8, 0, ftFloat, 8, 0},
        {xBaseV, 'B', 4, 0, ftBlob, 10, 0},
        {xFoxPro, 'C', 300, 0, ftString, 300, 0},
        {xBaseIII, 'C', 300, 3, ftString, 255, 0},
        {xFoxPro, 'Y', 8, 0, ftBCD, 8, 4},
        {xBaseVII, '+', 9, 0, ftAutoInc, 4, 0},
        {xBaseIII, '+', 4, 0, ftUnknown, 4, 0},
        {xFoxPro, '+', 4, 0, ftUnknown, 4, 0},
        {xBaseIII, 'D', 10, 0, ftDate, 8, 0},
        {xBaseIII, 'L', 3, 0, ftBoolean, 1, 0},
        {xBaseIII, 'M', 4, 0, ftMemo, 10, 0},
        {xFoxPro, 'M', 4, 0, ftMemo, 4, 0},
        {xFoxPro, 'G', 7, 0, ftDBaseOle, 4, 0},
        {xFoxPro, 'T', 8, 0, ftDateTime, 8, 0},
        {xBaseIII, 'T', 8, 0, ftDateTime, 14, 0},
        {xBaseVII, '@', 8, 0, ftDateTime, 8, 0},
        {xBaseVII, 'O', 8, 0, ftFloat, 8, 0},
        {xBaseVII, 'I', 4, 0, ftInteger, 4, 0},
        {xFoxPro, '0', 1, 0, ftBytes, 1, 0},
        {xBaseIII, static_cast<char>(0x91), 12, 0, ftString, 12, 0},
        // Visual FoxPro's varchar, varbinary and blob.
        {xFoxPro, 'V', 254, 3, ftString, 254, 0},
        {xFoxPro, 'Q', 10, 0, ftBlob, 10, 0},
        {xFoxPro, 'W', 7, 0, ftBlob, 4, 0},
    };
    for (const LetterCase& c : cases) {
        SCOPED_TRACE(std::string("letter ") + c.letter + " version " + std::to_string(c.version));
        FieldDefs defs(c.version);
        FieldDef& def = defs.addFieldDef();
        def.setSize(c.size);
        def.setPrecision(c.precision);
        def.setNativeFieldType(c.letter);
        EXPECT_EQ(def.fieldType(), c.type);
        EXPECT_EQ(def.size(), c.wantSize);
        EXPECT_EQ(def.precision(), c.wantPrecision);
    }
}

TEST(FieldDef, UnknownLetterClearsLetterAndType)
{
    // The Visual FoxPro letters are unknown to the other versions.
    const std::pair<XBaseVersion, char> cases[] = {
        {xFoxPro, 'X'}, {xFoxPro, '7'}, {xBaseIII, 'V'}, {xBaseV, 'Q'}, {xBaseVII, 'W'},
    };
    for (const auto& [version, letter] : cases) {
        SCOPED_TRACE(std::string("letter ") + letter);
        FieldDefs defs(version);
        FieldDef& def = defs.addFieldDef();
        def.setNativeFieldType(letter);
        EXPECT_EQ(def.nativeFieldType(), 0);
        EXPECT_EQ(def.fieldType(), ftUnknown);
    }
}

TEST(FieldDef, NumericSizeLimits)
{
    FieldDefs defs(xBaseIII);
    FieldDef& def = defs.addFieldDef();
    def.setNativeFieldType('N');
    def.setSize(25);
    EXPECT_EQ(def.size(), 20);
    def.setSize(5);
    def.setPrecision(4);
    EXPECT_EQ(def.precision(), 3);
}

struct TypeCase {
    XBaseVersion version;
    FieldType type;
    char letter;
    int size;
    int precision;
};

TEST(FieldDef, FieldTypeGivesLetterAndDefaultSize)
{
    const TypeCase cases[] = {
        {xBaseIII, ftString, 'C', 0, 0},
        {xBaseIII, ftInteger, 'N', 9, 0},
        {xBaseVII, ftInteger, 'I', 4, 0},
        {xBaseVII, ftAutoInc, '+', 4, 0},
        {xBaseIII, ftSmallint, 'N', 4, 0},
        {xBaseIII, ftWord, 'N', 4, 0},
        {xBaseIII, ftFloat, 'N', 18, 8},
        {xBaseIII, ftLargeint, 'N', 18, 0},
        {xFoxPro, ftCurrency, 'Y', 8, 4},
        {xFoxPro, ftBCD, 'Y', 8, 4},
        {xBaseIII, ftDateTime, 'D', 8, 0},
        {xFoxPro, ftDateTime, 'T', 8, 0},
        {xBaseVII, ftDateTime, '@', 8, 0},
        {xBaseIII, ftBoolean, 'L', 1, 0},
        {xBaseIII, ftMemo, 'M', 10, 0},
        {xBaseIII, ftBlob, 'B', 10, 0},
        {xBaseIII, ftDBaseOle, 'G', 10, 0},
        {xBaseIII, ftFixedChar, 'C', 0, 0},
        {xBaseIII, ftWideString, 'C', 0, 0},
    };
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " version " + std::to_string(c.version));
        FieldDefs defs(c.version);
        FieldDef& def = defs.add("X", c.type);
        EXPECT_EQ(def.nativeFieldType(), c.letter);
        EXPECT_EQ(def.size(), c.size);
        EXPECT_EQ(def.precision(), c.precision);
    }
}

TEST(FieldDef, TypeWithoutLetterCannotBeCreated)
{
    FieldDefs defs(xBaseIII);
    try {
        defs.add("CENA", ftCurrency);
        FAIL() << "no error";
    } catch (const TableError& e) {
        EXPECT_STREQ(e.what(), "Cannot create field \"CENA\", field type 7 not supported by DBF.");
    }
    FieldDef& def = defs.addFieldDef();
    def.setFieldName("T");
    EXPECT_THROW(def.setFieldType(ftTime), TableError);
    try {
        def.setFieldType(static_cast<FieldType>(0x23));   // an ordinal outside the enumeration
        FAIL() << "no error";
    } catch (const TableError& e) {
        EXPECT_STREQ(e.what(), "Cannot create field \"T\", field type 23 not supported by DBF.");
    }
    EXPECT_EQ(defs.count(), 1);   // the failed add left nothing behind
}

TEST(FieldDef, AddKeepsGivenSize)
{
    FieldDefs defs(xBaseIII);
    FieldDef& def = defs.add("NAZEV", ftString, 30, true);
    EXPECT_EQ(def.size(), 30);
    EXPECT_TRUE(def.required());
    EXPECT_EQ(defs.add("X", ftString, 400).size(), 255);
}

TEST(FieldDef, DescriptorKeepsStoredWidth)
{
    FieldDefs defs(xBaseIII);
    FieldDef& wide = defs.addFieldDef();
    wide.loadDescriptor("VALUE", 'N', 50, 3);
    EXPECT_EQ(wide.size(), 50);
    EXPECT_EQ(wide.precision(), 3);
    EXPECT_EQ(wide.fieldType(), ftFloat);
    FieldDef& text = defs.addFieldDef();
    text.loadDescriptor("name", 'c', 8, 2);
    EXPECT_EQ(text.nativeFieldType(), 'C');
    EXPECT_EQ(text.size(), 8);
    EXPECT_EQ(text.precision(), 0);
    FieldDef& money = defs.addFieldDef();
    defs.setDbfVersion(xFoxPro);
    money.loadDescriptor("CENA", 'Y', 8, 0);
    EXPECT_EQ(money.fieldType(), ftBCD);
    EXPECT_EQ(money.precision(), 4);
}

TEST(FieldDef, BlobLettersAndBuffers)
{
    FieldDefs defs(xBaseVII);
    FieldDef& memo = defs.add("POZN", ftMemo);
    EXPECT_TRUE(memo.isBlob());
    EXPECT_TRUE(defs.add("OLE", ftDBaseOle).isBlob());
    FieldDef& num = defs.add("N", ftInteger);
    EXPECT_FALSE(num.isBlob());
    num.allocBuffers();
    ASSERT_NE(num.defaultBuf(), nullptr);
    EXPECT_EQ(num.minBuf(), num.defaultBuf() + 4);
    EXPECT_EQ(num.maxBuf(), num.defaultBuf() + 8);
    num.defaultBuf()[0] = 7;
    num.setHasDefault(true);

    FieldDefs copy(xBaseVII);
    FieldDef& c = copy.addFieldDef();
    c.assign(num);
    EXPECT_EQ(c.copyFrom(), 2);
    EXPECT_EQ(c.fieldName(), "N");
    EXPECT_TRUE(c.hasDefault());
    EXPECT_EQ(c.defaultBuf()[0], 7);
}

} // namespace
} // namespace karto
