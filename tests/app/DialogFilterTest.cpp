#include "ui/DialogFilter.h"

#include <gtest/gtest.h>

namespace karto {
namespace {

TEST(DialogFilter, PipeFilterBecomesQtFilters)
{
    EXPECT_EQ(qtNameFilters(QString::fromUtf8("Excel nový (*.xlsx)|*.xlsx|Excel starý (*.xls)|*.xls|"
                                              "Všechny soubory (*.*)|*.*")),
              QStringList({QString::fromUtf8("Excel nový (*.xlsx)"), QString::fromUtf8("Excel starý (*.xls)"),
                           QString::fromUtf8("Všechny soubory (*)")}));
}

TEST(DialogFilter, ExtensionOfANameFilter)
{
    const struct { const char* filter; const char* suffix; } cases[] = {
        {"Excel nový (*.xlsx)", "xlsx"},
        {"Excel starý (*.xls)", "xls"},
        {"HTML (*.htm)", "htm"},
        {"Textové soubory (*.txt)", "txt"},
        {"Tables (*.dbf *.DBF)", "dbf"},
        {"Všechny soubory (*)", ""},
        {"Všechny soubory (*.*)", ""},
        {"No pattern", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nameFilterSuffix(QString::fromUtf8(c.filter)), QString::fromLatin1(c.suffix)) << c.filter;
}

TEST(DialogFilter, ProposedNames)
{
    const struct { const char* name; const char* ext; const char* expected; } cases[] = {
        {"CENIK.DBF", ".xlsx", "CENIK.xlsx"},
        {"CENIK", ".csv", "CENIK.csv"},
        {"a.b.dbf", ".htm", "a.b.htm"},
        {"CENIK.DBF", ".TXT", "CENIK.TXT"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(replaceExtension(QString::fromLatin1(c.name), QString::fromLatin1(c.ext)),
                  QString::fromLatin1(c.expected));
}

} // namespace
} // namespace karto
