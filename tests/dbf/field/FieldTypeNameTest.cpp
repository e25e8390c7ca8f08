#include <gtest/gtest.h>

#include <string>

#include "dbf/field/FieldType.h"

using namespace karto;

TEST(FieldTypeName, EveryValueByItsNameAndOrdinal)
{
    struct Case {
        int ordinal;
        const char* name;
    } cases[] = {
        {ftUnknown, "ftUnknown"},   {ftString, "ftString"},     {ftSmallint, "ftSmallint"},
        {ftInteger, "ftInteger"},   {ftWord, "ftWord"},         {ftBoolean, "ftBoolean"},
        {ftFloat, "ftFloat"},       {ftCurrency, "ftCurrency"}, {ftBCD, "ftBCD"},
        {ftDate, "ftDate"},         {ftTime, "ftTime"},         {ftDateTime, "ftDateTime"},
        {ftBytes, "ftBytes"},       {ftAutoInc, "ftAutoInc"},   {ftBlob, "ftBlob"},
        {ftMemo, "ftMemo"},         {ftDBaseOle, "ftDBaseOle"}, {ftFixedChar, "ftFixedChar"},
        {ftWideString, "ftWideString"}, {ftLargeint, "ftLargeint"},
        // Ordinals that name no value here.
        {13, "ftUnknown"}, {17, "ftUnknown"}, {26, "ftUnknown"}, {-1, "ftUnknown"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(fieldTypeName(static_cast<FieldType>(c.ordinal)), c.name) << c.ordinal;
    // The ordinals other code compares and shows.
    EXPECT_EQ(ftTime, 10);
    EXPECT_EQ(ftBytes, 12);
    EXPECT_EQ(ftAutoInc, 14);
    EXPECT_EQ(ftDBaseOle, 20);
    EXPECT_EQ(ftFixedChar, 23);
    EXPECT_EQ(ftLargeint, 25);
}
