// New tables: the bytes of the header and the memo file, the checks made
// before any file is touched, the refusal to replace an existing table, and
// the new table opened by the engine and read back by dbfread.
#include <gtest/gtest.h>

#include "support/ErrorOf.h"

#include <filesystem>
#include <functional>

#include <sys/stat.h>

#include "dbf/Error.h"
#include "dbf/io/ByteOrder.h"
#include "dbf/table/TableCreation.h"
#include "dbf/table/TableDataset.h"
#include "support/DbfBuilder.h"
#include "support/DbfReadBack.h"

namespace karto {
namespace {

using test::TempDir;
using Bytes = std::vector<uint8_t>;

struct Def {
    const char* name;
    char type;
    int size;
    int decimals;
};

// Definitions as stored (no normalisation), so that bad ones stay bad.
FieldDefs defsOf(std::initializer_list<Def> list)
{
    FieldDefs defs(xBaseIV);
    for (const Def& d : list)
        defs.addFieldDef().loadDescriptor(d.name, d.type, d.size, d.decimals);
    return defs;
}

using test::errorOf;

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(TableCreation, HeaderBytesOfTheTwoFieldExample)
{
    NewTableOptions options;
    options.tableLevel = 5;
    options.languageId = 0xC8;
    const Bytes b = newTableBytes(defsOf({{"NAME", 'C', 20, 0}, {"PRICE", 'N', 10, 2}}), options, {2024, 3, 7});
    ASSERT_EQ(b.size(), 97u);
    EXPECT_EQ(b[0], 0x03);
    EXPECT_EQ(b[1], 124);
    EXPECT_EQ(b[2], 3);
    EXPECT_EQ(b[3], 7);
    EXPECT_EQ(loadLE32(b.data() + 4), 0u) << "no records";
    EXPECT_EQ(loadLE16(b.data() + 8), 97);
    EXPECT_EQ(loadLE16(b.data() + 10), 31);
    EXPECT_EQ(b[29], 0xC8);
    EXPECT_EQ(b[96], 0x0D);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 32), 11), std::string("NAME\0\0\0\0\0\0\0", 11));
    EXPECT_EQ(b[32 + 11], 'C');
    EXPECT_EQ(b[32 + 16], 20);
    EXPECT_EQ(b[64 + 11], 'N');
    EXPECT_EQ(b[64 + 16], 10);
    EXPECT_EQ(b[64 + 17], 2);
    // Every other header byte is zero.
    for (int i : {12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 30, 31})
        EXPECT_EQ(b[i], 0) << i;
}

TEST(TableCreation, VersionByteAndLanguagePerLevelAndMemo)
{
    const struct {
        int level;
        bool memo;
        uint8_t version;
        uint8_t language;
    } cases[] = {{4, false, 0x03, 0x64}, {4, true, 0x8B, 0x64}, {5, true, 0x8B, 0x64}, {3, false, 0x03, 0},
                 {3, true, 0x83, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level * 10 + c.memo);
        NewTableOptions options;
        options.tableLevel = c.level;
        options.languageId = 0x64;
        const FieldDefs defs = c.memo ? defsOf({{"A", 'C', 1, 0}, {"POZN", 'M', 10, 0}}) : defsOf({{"A", 'C', 1, 0}});
        const Bytes b = newTableBytes(defs, options, {2024, 1, 1});
        EXPECT_EQ(b[0], c.version);
        EXPECT_EQ(b[29], c.language);
    }
    const Bytes memo = newMemoFileBytes(512);
    ASSERT_EQ(memo.size(), 512u);
    EXPECT_EQ(loadLE32(memo.data()), 1u) << "first free block";
    EXPECT_EQ(loadLE16(memo.data() + 20), 512);
}

TEST(TableCreation, StructuresThatCannotBeCreatedAreRefusedFirst)
{
    FieldDefs wide(xBaseIV);
    for (int i = 0; i < 258; ++i)
        wide.addFieldDef().loadDescriptor("F" + std::to_string(i), 'C', 255, 0);
    const struct {
        FieldDefs defs;
        int level;
        const char* error;
    } cases[] = {
        {defsOf({}), 4, "Cannot create a table without fields."},
        {defsOf({{"CENA", 'N', 10, 2}, {"cena", 'C', 5, 0}}), 4, "Field name \"CENA\" is used twice."},
        {defsOf({{"DODAVATEL_1", 'C', 5, 0}, {"DODAVATEL_2", 'C', 5, 0}}), 4,
         "Field name \"DODAVATEL_\" is used twice."},
        {defsOf({{"1ABC", 'C', 5, 0}}), 4, "Invalid field name \"1ABC\"."},
        {defsOf({{"", 'C', 5, 0}}), 4, "Invalid field name \"\"."},
        {defsOf({{"A-B", 'C', 5, 0}}), 4, "Invalid field name \"A-B\"."},
        {defsOf({{"X", 'I', 4, 0}}), 4, "Invalid field type 'I' for field 'X'."},
        {defsOf({{"X", 'F', 10, 2}}), 3, "Invalid field type 'F' for field 'X'."},
        {defsOf({{"X", 'C', 0, 0}}), 4, "Invalid size 0.0 for field 'X'."},
        {defsOf({{"X", 'N', 21, 0}}), 4, "Invalid size 21.0 for field 'X'."},
        {defsOf({{"X", 'N', 0, 0}}), 4, "Invalid size 0.0 for field 'X'."},
        {defsOf({{"X", 'D', 10, 0}}), 4, "Invalid size 10.0 for field 'X'."},
        {std::move(wide), 4, "Invalid field count: 258 (must be between 1 and 4095)."},
        {defsOf({{"X", 'C', 5, 0}}), 7, "Cannot create a table of level 7."},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        NewTableOptions options;
        options.tableLevel = c.level;
        const std::string path = dir.file("new.dbf");
        const std::string error = errorOf([&] { createTable(path, c.defs, options); });
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(filesIn(dir.file("")).empty()) << "nothing written";
    }
}

TEST(TableCreation, CreatedTableOpensEmptyAndTakesRecordsAndMemos)
{
    TempDir dir;
    const std::string path = dir.file("NOVA.DBF");
    FieldDefs defs = defsOf({{"nazev", 'C', 20, 0}, {"CENA", 'N', 10, 2}, {"DATUM", 'D', 8, 0},
                             {"PLATNY", 'L', 1, 0}, {"POZN", 'M', 10, 0}, {"KURZ", 'F', 12, 4}});
    NewTableOptions options;
    options.languageId = 0x64;
    createTable(path, defs, options);
    EXPECT_EQ(filesIn(dir.file("")), (std::vector<std::string>{"NOVA.DBF", "NOVA.DBT"}))
        << "no temporary file is left";
    const Bytes table = TempDir::read(path);
    ASSERT_EQ(table.size(), static_cast<size_t>(32 + 6 * 32 + 1)) << "the header alone";
    EXPECT_EQ(table[0], 0x8B);
    EXPECT_EQ(table[32], 'N') << "names upper-cased";
    EXPECT_EQ(TempDir::read(dir.file("NOVA.DBT")), newMemoFileBytes(512));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0044, 0u) << "a user's file, not a private temporary one";

    TableDataset ds;
    ds.setTableName(path);
    ds.setReadOnly(false);
    ds.open();
    EXPECT_EQ(ds.recordCount(), 0);
    EXPECT_TRUE(ds.isEmpty());
    ds.append();
    ds.findField("NAZEV")->setAsString("Žluťoučký kůň");
    ds.findField("CENA")->setAsString("12.5");
    ds.findField("DATUM")->setAsString("2024-02-29");
    ds.findField("PLATNY")->setAsString("T");
    ds.findField("POZN")->setAsString("první poznámka");
    ds.post();
    ds.close();

    if (!test::independentReaderAvailable())
        GTEST_SKIP() << "dbfread is not installed";
    const test::ReadBackTable back = test::readBackTable(path, "cp1250");
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.fields, (std::vector<std::string>{"NAZEV", "CENA", "DATUM", "PLATNY", "POZN", "KURZ"}));
    EXPECT_EQ(back.headerCount, 1);
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.records[0].values[0], "Žluťoučký kůň");
    EXPECT_EQ(back.records[0].values[1], "12.5");
    EXPECT_EQ(back.records[0].values[2], "2024-02-29");
    EXPECT_EQ(back.records[0].values[3], "True");
    EXPECT_EQ(back.records[0].values[4], "první poznámka");
}

TEST(TableCreation, AnExistingTableOrMemoFileIsNeverReplaced)
{
    const FieldDefs plain = defsOf({{"A", 'C', 5, 0}});
    const FieldDefs memo = defsOf({{"A", 'C', 5, 0}, {"M", 'M', 10, 0}});
    const struct {
        const char* present;   // the file already there
        const FieldDefs* defs;
        bool refused;
    } cases[] = {{"t.dbf", &plain, true}, {"t.dbf", &memo, true}, {"t.dbt", &memo, true},
                 {"T.DBT", &memo, true}, {"t.dbt", &plain, false}, {"t.mdx", &plain, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.present);
        TempDir dir;
        const Bytes old = {'o', 'l', 'd'};
        dir.write(c.present, old);
        const std::vector<std::string> before = filesIn(dir.file(""));
        const std::string error = errorOf([&] { createTable(dir.file("t.dbf"), *c.defs, NewTableOptions{}); });
        if (!c.refused) {
            EXPECT_EQ(error, "(no error)");
            EXPECT_EQ(TempDir::read(dir.file(c.present)), old);
            continue;
        }
        EXPECT_NE(error.find("already exists"), std::string::npos) << error;
        EXPECT_EQ(filesIn(dir.file("")), before);
        EXPECT_EQ(TempDir::read(dir.file(c.present)), old);
        EXPECT_THROW(createTable(dir.file("t.dbf"), *c.defs, NewTableOptions{}), TableExistsError);
    }
}

TEST(TableCreation, AFolderThatCannotBeWrittenLeavesNothing)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into any folder";
    TempDir dir;
    const std::string folder = dir.file("ro");
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0555);
    const std::string error =
        errorOf([&] { createTable(folder + "/t.dbf", defsOf({{"A", 'C', 5, 0}}), NewTableOptions{}); });
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(error.rfind("Cannot create file", 0), 0u) << error;
    EXPECT_TRUE(filesIn(folder).empty());
}

TEST(TableCreation, MemoFileNameFollowsTheTablesLetterCase)
{
    EXPECT_EQ(newMemoFilePath("/d/A.DBF"), "/d/A.DBT");
    EXPECT_EQ(newMemoFilePath("/d/a.dbf"), "/d/a.dbt");
    EXPECT_EQ(newMemoFilePath("/d/a.Dbf"), "/d/a.dbt");
    EXPECT_EQ(newMemoFilePath("/d.x/a"), "/d.x/a.dbt");
}

} // namespace
} // namespace karto
