// Every table of the corpus of real third-party tables opens read-only with
// the field list and record count an independent reader found
// (expected/*.json, read through CorpusExpected.h), or, where the table is
// one the engine does not read, fails with a clear error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iostream>

#include "support/CorpusExpected.h"
#include "dbf/Error.h"
#include "dbf/table/TableFile.h"

namespace karto {
namespace {

std::string upperAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool isFoxProByte(int v)
{
    return (v & 7) == 2 || (v & 7) == 5 || v == 0x30 || v == 0x31;
}

// Decimal count the engine keeps for a letter (stored widths stay as they are).
int expectedPrecision(char letter, int length, int decimals, bool foxPro)
{
    switch (letter) {
    case 'N':
    case 'F': {
        const int width = std::clamp(length, 1, 20);
        return std::max(0, std::min(decimals, width - 2));
    }
    case 'Y':
        return 4;
    case 'B':
        return foxPro ? decimals : 0;
    case '0':
        return decimals;
    default:
        return 0;
    }
}

enum class Outcome { Opens, Invalid, Unsupported };

struct Expectation {
    Outcome outcome = Outcome::Opens;
    std::string why;
};

char upperLetter(char c)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

Expectation expectationFor(const test::corpus::Table& e)
{
    if (!e.hasHeader || !e.hasFields || e.fileSize < 32)
        return {Outcome::Invalid, "shorter than a table header"};
    if (e.versionByte == 0x02)
        return {Outcome::Unsupported, "dBase II layout (16-byte descriptors)"};
    const bool baseVII = (e.versionByte & 7) == 4;
    // Visual FoxPro's varchar, varbinary and blob letters are known in
    // FoxPro tables only.
    const std::string known = std::string("CNFDLMBGIO@TY0") + (baseVII ? "+" : "") +
                              (isFoxProByte(e.versionByte) ? "VQW" : "");
    int64_t sum = 1;
    for (const test::corpus::Field& f : e.fields) {
        const char letter = upperLetter(f.letter);
        if (known.find(letter) == std::string::npos)
            return {Outcome::Invalid, std::string("field type letter ") + letter + " unknown to the engine"};
        sum += f.length;
    }
    if (sum > e.recordLength)
        return {Outcome::Invalid, "fields reach past the record size"};
    return {};
}

TEST(TableCorpus, EveryTableOpensAsTheIndependentReaderSaw)
{
    const std::vector<std::string> files = test::corpus::expectedFiles();
    if (files.empty())
        GTEST_SKIP() << "no corpus at " << test::corpus::kDir;
    if (!test::corpus::readerAvailable())
        GTEST_SKIP() << test::corpus::kPython << " not found";
    ASSERT_GT(files.size(), 100u);
    std::vector<test::corpus::Table> tables;
    std::string error;
    ASSERT_TRUE(test::corpus::readTables(files, false, tables, error)) << error;

    int opened = 0;
    int refused = 0;
    for (const test::corpus::Table& e : tables) {
        SCOPED_TRACE(e.table);
        const Expectation expect = expectationFor(e);

        TableFile table;
        table.setFileName(test::corpus::kDir + "/" + e.table);
        table.setMode(pfReadOnly);
        try {
            table.open();
        } catch (const TableError& err) {
            ++refused;
            if (expect.outcome == Outcome::Opens) {
                ADD_FAILURE() << "refused: " << err.what();
            } else if (expect.outcome == Outcome::Invalid) {
                EXPECT_STREQ(err.what(), "Invalid DBF file.") << expect.why;
            }
            continue;
        } catch (const KartoError& err) {
            ++refused;
            if (expect.outcome != Outcome::Unsupported)
                ADD_FAILURE() << "refused: " << err.what();
            continue;
        }
        ++opened;
        if (expect.outcome == Outcome::Invalid) {
            ADD_FAILURE() << "opened, expected a refusal: " << expect.why;
            continue;
        }

        // Every record can be walked, whatever the outcome.
        table.setBufferAhead(true);
        const int32_t count = table.recordCount();
        int deleted = 0;
        for (int32_t n = 1; n <= count; ++n) {
            const uint8_t* record = table.recordPtr(n);
            ASSERT_NE(record, nullptr) << n;
            deleted += TableFile::isDeletedRecord(record) ? 1 : 0;
        }
        EXPECT_EQ(table.recordPtr(count + 1), nullptr);
        if (expect.outcome == Outcome::Unsupported)
            continue;

        EXPECT_EQ(count, e.recordsFromSize);
        EXPECT_EQ(deleted, e.deletedCount);
        EXPECT_EQ(table.headerSize(), e.headerLength);
        EXPECT_EQ(table.recordSize(), e.recordLength);
        const bool foxPro = table.dbfVersion() == xFoxPro;
        EXPECT_EQ(foxPro, isFoxProByte(e.versionByte));

        ASSERT_EQ(table.fieldDefs().count(), static_cast<int>(e.fields.size()));
        for (int i = 0; i < table.fieldDefs().count(); ++i) {
            const FieldDef& def = table.fieldDefs().item(i);
            const test::corpus::Field& f = e.fields[static_cast<size_t>(i)];
            SCOPED_TRACE(def.fieldName());
            if (f.nameExact) {
                EXPECT_EQ(def.fieldName(), upperAscii(f.name));
            }
            const char letter = upperLetter(f.letter);
            EXPECT_EQ(def.nativeFieldType(), letter);
            EXPECT_NE(def.fieldType(), ftUnknown);
            EXPECT_EQ(def.size(), f.length);
            EXPECT_EQ(def.precision(),
                      f.effectiveLength ? 0 : expectedPrecision(letter, f.declaredLength, f.decimals, foxPro));
            EXPECT_EQ(def.offset(), f.offset);
            EXPECT_LE(def.offset() + def.size(), table.recordSize());
        }
    }
    EXPECT_GT(opened, 150);
    std::cout << "[ corpus   ] " << opened << " tables opened, " << refused << " refused\n";
}

} // namespace
} // namespace karto
