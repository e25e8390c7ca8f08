// The code page choice as the dataset applies it: text read after a change of
// choice follows the new choice.

#include <gtest/gtest.h>

#include "convert/CodePageConverter.h"
#include "support/DbfBuilder.h"
#include "dbf/table/TableDataset.h"
#include "dbf/text/Windows1250.h"

using namespace karto;

TEST(DatasetTranslation, FollowsTheChosenCodePage)
{
    karto::test::DbfSpec spec;
    spec.fields = {{"NAME", 'C', 8}};
    spec.records = {" \x8a\xe8 \xac\x9f   "};   // letters in each of the three code pages
    karto::test::TempDir dir;
    CodePageConverter converter;
    TableDataset ds;
    ds.setOnTranslate(&converter);
    ds.setTableName(dir.write("T.DBF", karto::test::buildDbf(spec)));
    ds.open();

    for (const int codePage : {cpWindows1250, cpLatin2, cpKamenicky, cpWindows1250}) {
        converter.chooseCodePage(codePage);
        std::string expected;
        for (const unsigned char b : std::string("\x8a\xe8 \xac\x9f")) {
            const char converted = static_cast<char>(converter.convertByte(b, cpWindows1250));
            expected += std::string(1, codePage == cpWindows1250 ? static_cast<char>(b) : converted);
        }
        ds.refresh();
        std::string raw = ds.field(0).rawString();
        EXPECT_EQ(raw, expected) << codePage;
        // The UTF-8 text (read through the hook's byte table) is the raw text
        // (read through the hook call) decoded as Windows 1250.
        EXPECT_EQ(ds.field(0).asString(), windows1250ToUtf8(raw)) << codePage;
    }
}
