#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "support/DbfBuilder.h"
#include "dbf/Error.h"
#include "dbf/table/TableFile.h"

namespace karto {
namespace {

using test::buildDbf;
using test::DbfSpec;
using test::FieldSpec;
using test::TempDir;

DbfSpec simpleSpec(uint8_t version, uint8_t languageId = 0)
{
    DbfSpec s;
    s.version = version;
    s.languageId = languageId;
    s.fields = {{"NAZEV", 'C', 10}, {"POCET", 'N', 5}};
    s.records = {" Praha     12345", "*Brno      00042"};
    return s;
}

void openTable(TableFile& t, const std::string& path, PagedFileMode mode = pfReadOnly)
{
    t.setFileName(path);
    t.setMode(mode);
    t.open();
}

TEST(TableFile, VersionByteGivesVersion)
{
    struct Case {
        uint8_t version;
        uint8_t language;
        XBaseVersion want;
        int level;
    } cases[] = {
        {0x03, 0x00, xBaseIII, 3}, {0x03, 0x57, xBaseV, 5}, {0x83, 0x00, xBaseIII, 3},
        {0x8B, 0x64, xBaseV, 5},   {0x30, 0x00, xFoxPro, 25}, {0x31, 0x03, xFoxPro, 25},
        {0x02, 0x00, xFoxPro, 25}, {0xF5, 0x00, xFoxPro, 25}, {0x32, 0x00, xFoxPro, 25},
        {0x04, 0x00, xBaseVII, 7}, {0x8C, 0x00, xBaseVII, 7},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.version));
        const std::string path = dir.write("v.dbf", buildDbf(simpleSpec(c.version, c.language)));
        TableFile t;
        openTable(t, path);
        EXPECT_EQ(t.dbfVersion(), c.want);
        EXPECT_EQ(t.tableLevel(), c.level);
        EXPECT_EQ(t.languageId(), c.language);
        EXPECT_EQ(t.recordCount(), 2);
        ASSERT_EQ(t.fieldDefs().count(), 2);
        EXPECT_EQ(t.fieldDefs().item(1).offset(), 11);
    }
    for (uint8_t bad : {0x00, 0x07, 0x01, 0x40}) {
        const std::string path = dir.write("bad.dbf", buildDbf(simpleSpec(bad)));
        TableFile t;
        try {
            openTable(t, path);
            FAIL() << int(bad);
        } catch (const TableError& e) {
            EXPECT_STREQ(e.what(), "Invalid DBF file.");
        }
        EXPECT_FALSE(t.active());
    }
}

TEST(TableFile, FieldsAndRecords)
{
    TempDir dir;
    DbfSpec s = simpleSpec(0x03);
    s.fields[0].name = "nazev";
    const std::string path = dir.write("t.dbf", buildDbf(s));
    TableFile t;
    openTable(t, path);
    EXPECT_EQ(t.headerSize(), 32 + 2 * 32 + 1);
    EXPECT_EQ(t.recordSize(), 16);
    const FieldDef& nazev = t.fieldDefs().item(0);
    EXPECT_EQ(nazev.fieldName(), "NAZEV");
    EXPECT_EQ(nazev.nativeFieldType(), 'C');
    EXPECT_EQ(nazev.fieldType(), ftString);
    EXPECT_EQ(nazev.offset(), 1);
    EXPECT_EQ(nazev.size(), 10);
    EXPECT_EQ(t.getFieldInfo("nazev"), &nazev);
    EXPECT_EQ(t.getFieldInfo("Pocet"), &t.fieldDefs().item(1));
    EXPECT_EQ(t.getFieldInfo("CENA"), nullptr);
    EXPECT_EQ(t.fieldDefs().item(1).fieldType(), ftInteger);

    std::vector<uint8_t> buf(16);
    ASSERT_EQ(t.readRecord(2, buf.data()), 16);
    EXPECT_EQ(std::string(buf.begin(), buf.end()), "*Brno      00042");
    EXPECT_TRUE(TableFile::isDeletedRecord(buf.data()));
    const uint8_t* r = t.recordPtr(1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r), 16), " Praha     12345");
    EXPECT_EQ(t.recordPtr(3), nullptr);
    t.updateLock();   // shared read-only open: no read-ahead
    EXPECT_FALSE(t.bufferAhead());
    t.setBufferAhead(true);
    ASSERT_NE(t.recordPtr(2), nullptr);
    EXPECT_EQ(t.recordPtr(2)[1], 'B');
}

TEST(TableFile, FoxProLongCharacterField)
{
    TempDir dir;
    DbfSpec s;
    s.version = 0x30;
    s.fields = {{"NOTE", 'C', 0x2C, 0x01}, {"N", 'N', 3}};
    s.afterTerminator.assign(263, 0);
    s.records = {" " + std::string(300, 'x') + "  7"};
    const std::string path = dir.write("long.dbf", buildDbf(s));
    TableFile t;
    openTable(t, path);
    ASSERT_EQ(t.fieldDefs().count(), 2);   // the 263 trailing bytes are no descriptors
    EXPECT_EQ(t.fieldDefs().item(0).size(), 300);
    EXPECT_EQ(t.fieldDefs().item(0).precision(), 0);
    EXPECT_EQ(t.fieldDefs().item(1).offset(), 301);
    EXPECT_EQ(t.recordCount(), 1);
}

TEST(TableFile, ClipperLongCharacterFieldWhenTheRecordSizeSaysSo)
{
    TempDir dir;
    DbfSpec s;
    s.version = 0x03;
    s.fields = {{"NOTE", 'C', 0x2C, 0x01}, {"N", 'N', 3}};
    s.recordSizeOverride = 1 + 300 + 3;
    s.records = {" " + std::string(300, 'x') + "  7"};
    const std::string path = dir.write("clip.dbf", buildDbf(s));
    TableFile t;
    openTable(t, path);
    EXPECT_EQ(t.fieldDefs().item(0).size(), 300);
    EXPECT_EQ(t.fieldDefs().item(1).offset(), 301);

    // A decimal count that the record size does not account for is no length.
    s.fields = {{"NOTE", 'C', 8, 2}, {"N", 'N', 3}};
    s.recordSizeOverride = 1 + 8 + 3;
    s.records = {" abcdefgh  7"};
    const std::string path2 = dir.write("excel.dbf", buildDbf(s));
    TableFile u;
    openTable(u, path2);
    EXPECT_EQ(u.fieldDefs().item(0).size(), 8);
    EXPECT_EQ(u.fieldDefs().item(0).precision(), 0);
    EXPECT_EQ(u.fieldDefs().item(1).offset(), 9);
}

TEST(TableFile, NullFlagsAndLockField)
{
    TempDir dir;
    DbfSpec s;
    s.version = 0x30;
    s.fields = {{"A", 'C', 4, 0, 0x02}, {"B", 'I', 4}, {"C", 'N', 5, 0, 0x02},
                {"_NULLFLAGS", '0', 1, 0, 0x07}, {"_DBASELOCK", 'C', 30}};
    s.records = {std::string(1 + 4 + 4 + 5 + 1 + 30, ' ')};
    const std::string path = dir.write("null.dbf", buildDbf(s));
    TableFile t;
    openTable(t, path);
    EXPECT_EQ(t.fieldDefs().item(0).nullPosition(), 0);
    EXPECT_EQ(t.fieldDefs().item(1).nullPosition(), -1);
    EXPECT_EQ(t.fieldDefs().item(2).nullPosition(), 1);
    EXPECT_EQ(t.fieldDefs().item(3).nullPosition(), -1);
    ASSERT_NE(t.nullField(), nullptr);
    EXPECT_EQ(t.nullField()->fieldName(), "_NULLFLAGS");
    EXPECT_EQ(t.nullField()->fieldType(), ftBytes);
    ASSERT_NE(t.lockField(), nullptr);
    EXPECT_TRUE(t.lockField()->isLockField());
    EXPECT_LE(t.lockUserLen(), 16);
    EXPECT_GE(t.lockUserLen(), 0);

    // Null bits that "_NULLFLAGS" cannot hold are dropped.
    s.fields = {{"A", 'C', 4, 0, 0x02}, {"B", 'C', 4, 0, 0x02}};
    s.records = {std::string(9, ' ')};
    const std::string path2 = dir.write("nonull.dbf", buildDbf(s));
    TableFile u;
    openTable(u, path2);
    EXPECT_EQ(u.fieldDefs().item(0).nullPosition(), -1);
    EXPECT_EQ(u.nullField(), nullptr);
}

TEST(TableFile, BaseVIIHeaderDescriptorsAndProperties)
{
    TempDir dir;
    DbfSpec s;
    s.version = 0x04;
    s.driverName = "DB852HDC";
    s.fields = {{"ID_ZAZNAMU", '+', 4, 0, 0, 17}, {"jmeno", 'C', 20}, {"VEK", 'N', 3}};
    // Properties: 3 entries - VEK required, VEK default "18 ", JMENO minimum "A";
    // one entry for field 9 is skipped.
    std::vector<uint8_t> block(16 + 4 * 15 + 4, 0);
    block[0] = 4;
    block[2] = 16;
    auto entry = [&](int i, int field, int property, int valueOffset, int length) {
        const size_t e = 16 + static_cast<size_t>(i) * 15;
        block[e + 2] = static_cast<uint8_t>(field);
        block[e + 4] = static_cast<uint8_t>(property);
        block[e + 11] = static_cast<uint8_t>(valueOffset);
        block[e + 13] = static_cast<uint8_t>(length);
    };
    const int values = 16 + 4 * 15;
    entry(0, 3, 1, 0, 0);
    entry(1, 3, 4, values, 3);
    entry(2, 2, 2, values + 3, 1);
    entry(3, 9, 4, values, 3);
    block[values] = '1';
    block[values + 1] = '8';
    block[values + 2] = ' ';
    block[values + 3] = 'A';
    s.afterTerminator = block;
    s.records = {" " + std::string(4, '\0') + std::string(20, 'x') + " 42"};
    const std::string path = dir.write("d7.dbf", buildDbf(s));
    TableFile t;
    openTable(t, path);
    EXPECT_EQ(t.dbfVersion(), xBaseVII);
    EXPECT_EQ(t.languageDriverName(), "DB852HDC");
    EXPECT_EQ(t.languageStr().size(), 32u);
    EXPECT_EQ(t.fileCodePage(), 852);
    ASSERT_EQ(t.fieldDefs().count(), 3);
    const FieldDef& id = t.fieldDefs().item(0);
    EXPECT_EQ(id.fieldName(), "ID_ZAZNAMU");
    EXPECT_EQ(id.fieldType(), ftAutoInc);
    EXPECT_EQ(id.autoInc(), 17);
    EXPECT_TRUE(t.autoIncPresent());
    EXPECT_EQ(t.fieldDefs().item(1).fieldName(), "JMENO");
    EXPECT_EQ(t.fieldDefs().item(2).offset(), 25);
    const FieldDef& vek = t.fieldDefs().item(2);
    EXPECT_TRUE(vek.required());
    ASSERT_TRUE(vek.hasDefault());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(vek.defaultBuf()), 3), "18 ");
    EXPECT_FALSE(vek.hasMin());
    const FieldDef& jmeno = t.fieldDefs().item(1);
    ASSERT_TRUE(jmeno.hasMin());
    EXPECT_EQ(jmeno.minBuf()[0], 'A');
    EXPECT_EQ(jmeno.minBuf()[1], 0);
    EXPECT_EQ(t.recordCount(), 1);
}

TEST(TableFile, BaseVIIDriverNameCodePages)
{
    struct Case {
        const char* name;
        int codePage;
    } cases[] = {{"DB852HDC", 852}, {"DBWINUS0", 1252}, {"DB1250CZ", 1250}, {"DBHEBREW", 1255},
                 {"DB437US0", 437}, {"FOXUSWIN", 1252}, {"FOX  852", 852},  {"DB0", 0},
                 {"XYZ", 0},        {"db866ru0", 866}, {"FOX", 0},
                 {"DB", 0},         {"FOXW", 0},        {"", 0}};
    TempDir dir;
    for (const Case& c : cases) {
        DbfSpec s = simpleSpec(0x04);
        s.driverName = c.name;
        const std::string path = dir.write("lang.dbf", buildDbf(s));
        TableFile t;
        openTable(t, path);
        EXPECT_EQ(t.fileCodePage(), c.codePage) << c.name;
    }
}

TEST(TableFile, LanguageDriverGivesCodePage)
{
    struct Case {
        uint8_t version;
        uint8_t language;
        const char* driverName;
        int codePage;
        uint8_t langId;
    } cases[] = {
        {0x03, 0x64, "", 852, 0x64},           {0x03, 0x57, "", 1252, 0x57},
        {0x30, 0xC8, "", 1250, 0xC8},          {0x03, 0x00, "", 0, 0x00},
        {0x04, 0x00, "DBWINUS0", 1252, 0x57},  {0x04, 0x00, "DB852CZ0", 852, 0x1F},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.driverName) + " " + std::to_string(c.language));
        DbfSpec s = simpleSpec(c.version, c.language);
        s.driverName = c.driverName;
        const std::string path = dir.write("ld.dbf", buildDbf(s));
        TableFile t;
        openTable(t, path);
        EXPECT_EQ(t.fileCodePage(), c.codePage);
        EXPECT_EQ(t.fileLangId(), c.langId);
        if (c.codePage != 0)
            EXPECT_EQ(t.useCodePage(), c.codePage);
        else
            EXPECT_NE(t.useCodePage(), 0);   // the engine's default for opening
    }
}

TEST(TableFile, HeaderReconciledOnlyWhenWriting)
{
    TempDir dir;
    DbfSpec s = simpleSpec(0x03);
    s.records.resize(12, " Plzen     00001");
    s.headerCount = 10;
    const std::vector<uint8_t> original = buildDbf(s);
    const std::string path = dir.write("count.dbf", original);
    {
        TableFile t;
        openTable(t, path, pfReadOnly);
        EXPECT_EQ(t.recordCount(), 12);
        t.close();
        EXPECT_EQ(TempDir::read(path), original);   // nothing written
    }
    {
        TableFile t;
        openTable(t, path, pfReadWriteOpen);   // shared: the header is written at once
        EXPECT_EQ(t.recordCount(), 12);
        const std::vector<uint8_t> after = TempDir::read(path);
        ASSERT_EQ(after.size(), original.size());
        EXPECT_EQ(after[4], 12);
        const std::time_t now = std::time(nullptr);
        std::tm local {};
        localtime_r(&now, &local);
        EXPECT_EQ(after[1], local.tm_year % 256);
        EXPECT_EQ(after[2], local.tm_mon + 1);
        EXPECT_EQ(after[3], local.tm_mday);
        EXPECT_TRUE(std::equal(after.begin() + 32, after.end(), original.begin() + 32));
    }
    {
        // Exclusive: written at close.
        const std::string path2 = dir.write("count2.dbf", original);
        TableFile t;
        openTable(t, path2, pfExclusiveOpen);
        EXPECT_EQ(TempDir::read(path2)[4], 10);
        t.close();
        EXPECT_EQ(TempDir::read(path2)[4], 12);
    }
}

TEST(TableFile, EndMarkIsNotFileData)
{
    TempDir dir;
    DbfSpec s = simpleSpec(0x03);
    for (bool mark : {true, false}) {
        s.endMark = mark;
        const std::string path = dir.write("end.dbf", buildDbf(s));
        TableFile t;
        openTable(t, path, pfExclusiveOpen);
        EXPECT_EQ(t.recordCount(), 2);
        EXPECT_EQ(t.cachedSize(), t.headerSize() + 2 * t.recordSize());
    }
}

TEST(TableFile, MemoBitFollowsMemoFields)
{
    TempDir dir;
    DbfSpec s = simpleSpec(0x03);
    s.fields.push_back({"POZN", 'M', 10});
    for (std::string& r : s.records)
        r += "         1";
    const std::string path = dir.write("memo.dbf", buildDbf(s));
    dir.write("memo.DBT", std::vector<uint8_t>(512, 0));
    {
        TableFile t;
        openTable(t, path, pfReadOnly);
        EXPECT_TRUE(t.hasMemoFields());
        EXPECT_TRUE(t.memoFilePresent());
        EXPECT_EQ(t.memoFileName(), dir.file("memo.DBT"));
        EXPECT_EQ(TempDir::read(path)[0], 0x03);
    }
    {
        TableFile t;
        openTable(t, path, pfReadWriteOpen);
        EXPECT_EQ(TempDir::read(path)[0], 0x83);
    }
    DbfSpec plain = simpleSpec(0x83);
    const std::string path2 = dir.write("plain.dbf", buildDbf(plain));
    {
        TableFile t;
        openTable(t, path2, pfReadWriteOpen);
        EXPECT_FALSE(t.hasMemoFields());
        EXPECT_EQ(TempDir::read(path2)[0], 0x03);
    }
    // FoxPro keeps its version byte.
    DbfSpec fox = simpleSpec(0xF5);
    const std::string path3 = dir.write("fox.dbf", buildDbf(fox));
    {
        TableFile t;
        openTable(t, path3, pfReadWriteOpen);
        EXPECT_EQ(TempDir::read(path3)[0], 0xF5);
    }
}

TEST(TableFile, MissingProductionIndex)
{
    TempDir dir;
    DbfSpec s = simpleSpec(0x03, 0x57);
    s.productionIndexFlag = 1;
    const std::string path = dir.write("idx.dbf", buildDbf(s));
    {
        TableFile t;
        openTable(t, path, pfReadOnly);
        EXPECT_EQ(TempDir::read(path)[28], 1);
    }
    {
        TableFile t;
        bool asked = false;
        t.setOnIndexMissing([&](bool& deleteLink) {
            asked = true;
            deleteLink = false;
        });
        EXPECT_THROW(openTable(t, path, pfReadWriteOpen), AbortError);
        EXPECT_TRUE(asked);
        EXPECT_TRUE(t.forceClose());
        EXPECT_FALSE(t.active());
    }
    {
        TableFile t;
        openTable(t, path, pfReadWriteOpen);
        EXPECT_EQ(TempDir::read(path)[28], 0);
    }
    dir.write("idx.mdx", std::vector<uint8_t>(16, 0));
    s.productionIndexFlag = 1;
    const std::string path2 = dir.write("idx.dbf", buildDbf(s));
    {
        TableFile t;
        openTable(t, path2, pfReadOnly);
        EXPECT_EQ(t.mdxFileName(), dir.file("idx.mdx"));
        EXPECT_EQ(TempDir::read(path2)[28], 1);
    }
    // An index that cannot be read does not stop the open: the table opens
    // for reading, says why, and writes nothing (not even the corrected
    // record count).
    s.headerCount = 7;   // a count the open would otherwise correct
    const std::vector<uint8_t> before = buildDbf(s);
    dir.write("idx.dbf", before);
    for (const PagedFileMode mode : {pfReadWriteOpen, pfExclusiveOpen}) {
        TableFile t;
        openTable(t, path2, mode);
        EXPECT_TRUE(t.active());
        EXPECT_EQ(t.indexProblem(), "Invalid MDX file.");
        EXPECT_EQ(t.indexFile(), nullptr);
        std::vector<uint8_t> record(static_cast<size_t>(t.recordSize()), ' ');
        try {
            t.insert(record.data());
            ADD_FAILURE() << "written";
        } catch (const TableError& e) {
            EXPECT_STREQ(e.what(), "Cannot modify a read-only dataset");
        }
        t.close();
        EXPECT_EQ(TempDir::read(path2), before);
    }
}

// Malformed tables: a clear error, the file closed again.
TEST(TableFile, MalformedTablesAreRefused)
{
    struct Case {
        const char* what;
        std::function<std::vector<uint8_t>()> bytes;
        bool silent;   // the silent abort instead of "Invalid DBF file."
    };
    auto with = [](std::function<void(DbfSpec&)> change) {
        return [change] {
            DbfSpec s = simpleSpec(0x03);
            change(s);
            return buildDbf(s);
        };
    };
    auto patched = [](std::function<void(std::vector<uint8_t>&)> change) {
        return [change] {
            std::vector<uint8_t> b = buildDbf(simpleSpec(0x03));
            change(b);
            return b;
        };
    };
    const Case cases[] = {
        {"empty file", [] { return std::vector<uint8_t>(); }, false},
        {"one byte", [] { return std::vector<uint8_t>{0x03}; }, false},
        {"shorter than the main header", [] { return std::vector<uint8_t>(31, 0x03); }, false},
        {"empty field name", with([](DbfSpec& s) { s.fields[1].name = ""; }), false},
        {"unknown letter", with([](DbfSpec& s) { s.fields[1].type = 'V'; }), false},
        {"autoincrement outside dBase 7", with([](DbfSpec& s) { s.fields[1].type = '+'; s.fields[1].length = 4; }), false},
        {"field past the record size", with([](DbfSpec& s) { s.recordSizeOverride = 15; }), false},
        {"field far past the record size", with([](DbfSpec& s) { s.fields[0].length = 255; s.recordSizeOverride = 16; }), false},
        {"header size below the main header", with([](DbfSpec& s) { s.headerSizeOverride = 20; }), false},
        {"header size larger than the file", patched([](std::vector<uint8_t>& b) { b[8] = 0xFF; b[9] = 0x7F; }), false},
        {"header size cuts a descriptor", with([](DbfSpec& s) { s.headerSizeOverride = 32 + 32 + 20; }), false},
        {"header cut off in the descriptors", patched([](std::vector<uint8_t>& b) { b.resize(70); }), false},
        {"dBase 7 header shorter than 68", [] {
             DbfSpec s = simpleSpec(0x04);
             s.headerSizeOverride = 60;
             return buildDbf(s);
         }, false},
        {"header size 0", patched([](std::vector<uint8_t>& b) { b[8] = 0; b[9] = 0; }), true},
        {"record size 0", patched([](std::vector<uint8_t>& b) { b[10] = 0; b[11] = 0; }), true},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.write("bad.dbf", c.bytes());
        TableFile t;
        t.setFileName(path);
        t.setMode(pfReadWriteOpen);
        if (c.silent) {
            EXPECT_THROW(t.open(), AbortError);
        } else {
            try {
                t.open();
                ADD_FAILURE() << "opened";
            } catch (const TableError& e) {
                EXPECT_STREQ(e.what(), "Invalid DBF file.");
            }
        }
        EXPECT_FALSE(t.active());
    }
}

TEST(TableFile, HeaderWithoutTerminatorButFilledWithDescriptors)
{
    // Some writers leave the terminator out (or write another byte there);
    // the descriptors filling the header area exactly are still read.
    TempDir dir;
    for (int variant = 0; variant < 2; ++variant) {
        DbfSpec s;
        s.fields = {{"CONTINENT", 'C', 80}};
        s.terminator = variant == 1;
        if (variant == 1)
            s.afterTerminator = {};
        s.records = {" Europe", " Asia"};
        std::vector<uint8_t> b = buildDbf(s);
        if (variant == 1)
            b[64] = 0x0A;   // not the terminator
        const std::string path = dir.write("noterm.dbf", b);
        TableFile t;
        openTable(t, path);
        ASSERT_EQ(t.fieldDefs().count(), 1);
        EXPECT_EQ(t.recordCount(), 2);
        EXPECT_EQ(t.recordPtr(2)[1], 'A');
    }
}

TEST(TableFile, TableWithoutFields)
{
    TempDir dir;
    DbfSpec s;
    s.fields = {};
    s.records = {" "};
    s.endMark = false;   // with one-byte records an end mark would count as a record
    const std::string path = dir.write("nofields.dbf", buildDbf(s));
    TableFile t;
    openTable(t, path);
    EXPECT_EQ(t.fieldDefs().count(), 0);
    EXPECT_EQ(t.recordCount(), 1);
}

TEST(TableFile, MissingFileAndMemoryStream)
{
    TempDir dir;
    TableFile t;
    t.setFileName(dir.file("none.dbf"));
    EXPECT_THROW(t.open(), PagedFileError);

    std::vector<uint8_t> bytes = buildDbf(simpleSpec(0x03));
    TableFile m;
    m.setStream(&bytes);
    m.setMode(pfMemoryOpen);
    m.open();
    EXPECT_EQ(m.recordCount(), 2);
    EXPECT_EQ(m.fieldDefs().count(), 2);
}

TEST(TableFile, ReopenReadsTheNewStructure)
{
    TempDir dir;
    const std::string a = dir.write("a.dbf", buildDbf(simpleSpec(0x03)));
    DbfSpec other;
    other.version = 0x30;
    other.fields = {{"X", 'I', 4}};
    other.records = {" abcd", " efgh", " ijkl"};
    const std::string b = dir.write("b.dbf", buildDbf(other));
    TableFile t;
    openTable(t, a);
    EXPECT_EQ(t.fieldDefs().count(), 2);
    t.close();
    openTable(t, b);
    EXPECT_EQ(t.dbfVersion(), xFoxPro);
    ASSERT_EQ(t.fieldDefs().count(), 1);
    EXPECT_EQ(t.recordSize(), 5);
    EXPECT_EQ(t.recordCount(), 3);
}

} // namespace
} // namespace karto
