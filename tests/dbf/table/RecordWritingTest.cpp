// Record writing through the dataset: what edit, insert, post, cancel,
// delete and undelete leave in the table and memo files, the locks they take,
// and the values set from text; the files read back by dbfread as well.
#include <gtest/gtest.h>

#include "support/ErrorOf.h"

#include <csignal>
#include <cstring>
#include <ctime>
#include <functional>

#include <sys/resource.h>

#include "dbf/Error.h"
#include "dbf/field/FieldValue.h"
#include "dbf/io/ByteOrder.h"
#include "dbf/table/TableDataset.h"
#include "dbf/table/TableFile.h"
#include "support/DbfBuilder.h"
#include "support/DbfReadBack.h"

namespace karto {
namespace {

using test::DbfSpec;
using test::FieldSpec;
using test::TempDir;
using Bytes = std::vector<uint8_t>;

const std::vector<FieldSpec> kFields = {{"NAZEV", 'C', 10}, {"CENA", 'N', 8, 2}, {"POCET", 'N', 4},
                                        {"DATUM", 'D', 8},  {"PLATNY", 'L', 1}};

DbfSpec fiveRecords()
{
    DbfSpec s;
    s.fields = kFields;
    for (int i = 1; i <= 5; ++i)
        s.records.push_back(test::recordBytes(
            kFields, {{"rec" + std::to_string(i), std::to_string(i) + ".50", std::to_string(i), "20200101", "T"}}));
    return s;
}

using test::errorOf;

class RecordWriting : public ::testing::Test {
protected:
    std::string table(const DbfSpec& spec, const std::string& name = "t.dbf")
    {
        path_ = dir_.write(name, test::buildDbf(spec));
        return path_;
    }
    void open(bool readOnly = false)
    {
        ds_.setTableName(path_);
        ds_.setReadOnly(readOnly);
        ds_.open();
    }
    Bytes bytes() const { return TempDir::read(path_); }

    TempDir dir_;
    std::string path_;
    TableDataset ds_;
};

TEST_F(RecordWriting, SharedAppendLandsAfterTheLastRecordWithOneEndMark)
{
    for (const bool endMark : {true, false}) {
        SCOPED_TRACE(endMark ? "with end mark" : "without end mark");
        DbfSpec spec = fiveRecords();
        spec.endMark = endMark;
        table(spec);
        const Bytes before = bytes();
        const int headerSize = 32 + 32 * 5 + 1;
        const int recordSize = 1 + 10 + 8 + 4 + 8 + 1;
        open();
        ds_.append();
        ds_.findField("NAZEV")->setAsString("novy");
        ds_.findField("CENA")->setAsString("12.5");
        ds_.findField("DATUM")->setAsString("31.12.2021");
        EXPECT_EQ(bytes(), before) << "nothing reaches the file before post()";
        ds_.post();
        EXPECT_EQ(ds_.state(), dsBrowse);
        EXPECT_EQ(ds_.recNo(), 6);
        EXPECT_EQ(ds_.recordCount(), 6);
        ds_.close();

        const Bytes after = bytes();
        ASSERT_EQ(after.size(), static_cast<size_t>(headerSize + 6 * recordSize + 1));
        EXPECT_EQ(after.back(), 0x1A);
        EXPECT_EQ(std::count(after.begin() + headerSize, after.end(), 0x1A), 1);
        EXPECT_TRUE(std::equal(before.begin() + headerSize, before.begin() + headerSize + 5 * recordSize,
                               after.begin() + headerSize))
            << "the records before it are unchanged";
        const std::string record(after.begin() + headerSize + 5 * recordSize, after.end() - 1);
        EXPECT_EQ(record, " novy         12.50    20211231 ");
        EXPECT_EQ(loadLE32(after.data() + 4), 6u);
        const std::time_t now = std::time(nullptr);
        std::tm local {};
        localtime_r(&now, &local);
        EXPECT_EQ(after[1], local.tm_year % 256);
        EXPECT_EQ(after[2], local.tm_mon + 1);
        EXPECT_EQ(after[3], local.tm_mday);

        if (test::independentReaderAvailable()) {
            const test::ReadBackTable back = test::readBackTable(path_, "cp1250");
            ASSERT_TRUE(back.ok) << back.error;
            EXPECT_EQ(back.headerCount, 6);
            ASSERT_EQ(back.records.size(), 6u);
            EXPECT_EQ(back.records[5].values[0], "novy");
            EXPECT_EQ(back.records[5].values[1], "12.5");
            EXPECT_EQ(back.records[5].values[2], std::nullopt);
            EXPECT_EQ(back.records[5].values[3], "2021-12-31");
            EXPECT_EQ(back.records[5].values[4], std::nullopt);
            EXPECT_EQ(back.records[2].values[0], "rec3");
        }
    }
}

TEST_F(RecordWriting, EditWritesTheRecordOnlyAndCancelWritesNothing)
{
    table(fiveRecords());
    const Bytes before = bytes();
    open();
    ds_.setRecNo(2);
    ds_.edit();
    EXPECT_EQ(ds_.state(), dsEdit);
    ds_.findField("POCET")->setAsString("77");
    ds_.findField("NAZEV")->setAsString("zmena");
    EXPECT_TRUE(ds_.modified());
    ds_.cancel();
    EXPECT_EQ(ds_.state(), dsBrowse);
    EXPECT_EQ(ds_.findField("NAZEV")->asString(), "rec2");
    EXPECT_EQ(bytes(), before) << "cancel() changes no byte";

    ds_.edit();
    ds_.findField("POCET")->setAsString("77");
    EXPECT_EQ(bytes(), before);
    ds_.next();   // a move posts a changed record
    EXPECT_EQ(ds_.state(), dsBrowse);
    EXPECT_EQ(ds_.recNo(), 3);
    ds_.close();
    const Bytes after = bytes();
    ASSERT_EQ(after.size(), before.size());
    const int headerSize = 32 + 32 * 5 + 1;
    const int recordSize = 32;
    for (size_t i = 0; i < after.size(); ++i) {
        const bool inPocet = i >= static_cast<size_t>(headerSize + recordSize + 19) &&
                             i < static_cast<size_t>(headerSize + recordSize + 23);
        if (!inPocet) {
            EXPECT_EQ(after[i], before[i]) << "byte " << i << " (header, date and end mark untouched)";
        }
    }
    EXPECT_EQ(std::string(after.begin() + headerSize + recordSize + 19, after.begin() + headerSize + recordSize + 23),
              "  77");
}

TEST_F(RecordWriting, DeleteAndUndeleteWriteTheDeletionByteOnly)
{
    table(fiveRecords());
    const Bytes before = bytes();
    const size_t headerSize = 32 + 32 * 5 + 1;
    open();
    ds_.setRecNo(3);
    ds_.deleteRecord();
    EXPECT_EQ(ds_.state(), dsBrowse);
    EXPECT_EQ(ds_.recNo(), 4) << "the next visible record becomes current";
    EXPECT_EQ(ds_.recordCount(), 5);
    ds_.last();
    ds_.deleteRecord();
    EXPECT_EQ(ds_.recNo(), 4) << "after the last record, the previous one";
    Bytes expected = before;
    expected[headerSize + 2 * 32] = '*';
    expected[headerSize + 4 * 32] = '*';
    EXPECT_EQ(bytes(), expected);

    ds_.setShowDeleted(true);
    ds_.setRecNo(3);
    ds_.undelete();
    expected[headerSize + 2 * 32] = ' ';
    EXPECT_EQ(bytes(), expected) << "written at once";
    EXPECT_EQ(ds_.state(), dsEdit);
    ds_.next();
    EXPECT_EQ(bytes(), expected) << "moving away writes nothing more";
    EXPECT_FALSE(ds_.isDeleted());   // record 4, live

    if (test::independentReaderAvailable()) {
        const test::ReadBackTable back = test::readBackTable(path_, "cp1250");
        ASSERT_TRUE(back.ok) << back.error;
        ASSERT_EQ(back.records.size(), 5u);
        EXPECT_FALSE(back.records[2].deleted);
        EXPECT_TRUE(back.records[4].deleted);
    }
}

// Undelete recalls the record as the file holds it now, whatever a stale
// row buffer says, and writes nothing but its first byte.
TEST_F(RecordWriting, UndeleteKeepsAnotherProgramsChange)
{
    DbfSpec spec = fiveRecords();
    spec.records[1][0] = '*';
    table(spec);
    open();
    ds_.setShowDeleted(true);
    ds_.setRecNo(2);
    const size_t at = 32 + 32 * 5 + 1 + 32;
    {
        TableFile other;
        other.setFileName(path_);
        other.setMode(pfReadWriteOpen);
        other.open();
        Bytes rec(32);
        other.readRecord(2, rec.data());
        std::memcpy(rec.data() + 1, "OTHER     ", 10);
        other.writeRecord(2, rec.data());
    }
    ds_.undelete();
    ds_.cancel();
    const Bytes after = bytes();
    EXPECT_EQ(after[at], ' ');
    EXPECT_EQ(std::string(after.begin() + at + 1, after.begin() + at + 11), "OTHER     ");
}

TEST_F(RecordWriting, NewRecordTemplatePerType)
{
    struct Case {
        const char* what;
        uint8_t version;
        std::vector<FieldSpec> fields;
        std::string expected;   // the record after the deletion flag
    };
    const std::string z4(4, '\0'), z8(8, '\0');
    const std::vector<Case> cases = {
        {"dBase III", 0x03, {{"C", 'C', 3}, {"N", 'N', 4}, {"D", 'D', 8}, {"L", 'L', 1}, {"M", 'M', 10}},
         std::string(3 + 4 + 8 + 1 + 10, ' ')},
        {"dBase 7", 0x04, {{"C", 'C', 3}, {"N", 'N', 2}, {"I", 'I', 4}, {"A", '+', 4}, {"O", 'O', 8}, {"T", '@', 8}},
         std::string(3, '\0') + "  " + z4 + z4 + z8 + z8},
        {"FoxPro", 0x30, {{"C", 'C', 2}, {"T", 'T', 8}, {"Y", 'Y', 8}, {"B", 'B', 8}, {"I", 'I', 4}, {"M", 'M', 4},
                          {"_NULLFLAGS", '0', 1}},
         "  " + z8 + z8 + z8 + z4 + z4 + std::string(1, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DbfSpec spec;
        spec.version = c.version;
        spec.fields = c.fields;
        if (c.version == 0x30)
            spec.afterTerminator.assign(263, 0);
        table(spec, std::string("tmpl") + std::to_string(c.version) + ".dbf");
        TableFile file;
        file.setFileName(path_);
        file.setMode(pfReadOnly);
        file.open();
        Bytes record(static_cast<size_t>(file.recordSize()), 'x');
        file.initRecord(record.data());
        EXPECT_EQ(record[0], ' ');
        EXPECT_EQ(std::string(record.begin() + 1, record.end()), c.expected);
    }
}

TEST_F(RecordWriting, RecordLockedByAnotherHolderRefusesItsEditOnly)
{
    table(fiveRecords());
    open();
    TableFile other;   // another open file description: contends like another program
    other.setFileName(path_);
    other.setMode(pfReadWriteOpen);
    other.open();
    ASSERT_TRUE(other.lockPage(3, false));

    ds_.setRecNo(3);
    EXPECT_EQ(errorOf([&] { ds_.edit(); }), "Record locked.");
    EXPECT_EQ(ds_.state(), dsBrowse);
    EXPECT_EQ(errorOf([&] { ds_.deleteRecord(); }), "Record locked.");
    for (const int n : {2, 4}) {
        ds_.setRecNo(n);
        ds_.edit();
        ds_.findField("POCET")->setAsString("9");
        ds_.post();
        EXPECT_EQ(ds_.findField("POCET")->asString(), "9");
    }
    // The header lock held elsewhere refuses an append and leaks nothing.
    other.unlockPage(3);
    ASSERT_TRUE(other.lockPage(0, false));
    ds_.append();
    ds_.findField("NAZEV")->setAsString("x");
    EXPECT_EQ(errorOf([&] { ds_.post(); }), "Record locked.");
    EXPECT_EQ(ds_.state(), dsInsert);
    other.unlockPage(0);
    ds_.post();
    EXPECT_EQ(ds_.recordCount(), 6);
    // Every lock of the append was released again.
    for (const int page : {0, -1, 6})
        EXPECT_TRUE(other.lockPage(page, false)) << page;
}

// dBase 7: the next values come from the header's descriptors, as the file
// holds them when the record is appended.
TEST_F(RecordWriting, AutoIncrementValuesOfADBase7Table)
{
    DbfSpec spec;
    spec.version = 0x04;
    spec.fields = {{"ID", '+', 4, 0, 0, 5}, {"NAME", 'C', 6}};
    table(spec, "d7.dbf");
    open();
    EXPECT_EQ(errorOf([&] {
                  ds_.append();
                  ds_.findField("ID")->setAsString("3");
              }),
              "Field 'ID' cannot be modified");
    ds_.findField("NAME")->setAsString("a");
    ds_.post();
    EXPECT_EQ(ds_.findField("ID")->asString(), "5");
    {
        // Another program appends meanwhile and advances the counter.
        Bytes file = bytes();
        storeLE32(file.data() + 68 + 42, 20);
        dir_.write("d7.dbf", file);
    }
    ds_.append();
    ds_.findField("NAME")->setAsString("b");
    ds_.post();
    EXPECT_EQ(ds_.findField("ID")->asString(), "20");
    ds_.close();
    const Bytes after = bytes();
    EXPECT_EQ(loadLE32(after.data() + 68 + 42), 21u);
    EXPECT_EQ(loadLE32(after.data() + 4), 2u);
    const size_t headerSize = 68 + 48 * 2 + 1;
    EXPECT_EQ(loadBE32(after.data() + headerSize + 1), 0x80000005u);
    EXPECT_EQ(loadBE32(after.data() + headerSize + 11 + 1), 0x80000014u);
}

TEST_F(RecordWriting, MemoValuesAreWrittenAndReadBack)
{
    struct Case {
        const char* what;
        uint8_t version;
        const char* memoName;
        Bytes memoHeader;
        int memoLength;
        bool framed;
    };
    Bytes dbase3(512, 0), dbase4(512, 0), fox(512, 0);
    dbase3[0] = 1;
    dbase4[0] = 1;
    dbase4[20] = 0x00;
    dbase4[21] = 0x02;   // 512, little-endian
    fox[3] = 8;          // first free block 8, big-endian
    fox[7] = 64;         // block size 64, big-endian
    const std::vector<Case> cases = {
        {"dBase III", 0x83, "m.dbt", dbase3, 10, false},
        {"dBase IV", 0x8B, "m.dbt", dbase4, 10, true},
        {"FoxPro", 0xF5, "m.fpt", fox, 4, true},
    };
    const std::string longText(700, 'x');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        DbfSpec spec;
        spec.version = c.version;
        spec.fields = {{"NAME", 'C', 5}, {"NOTE", 'M', c.memoLength}};
        if (c.version == 0xF5)
            spec.afterTerminator.assign(263, 0);
        path_ = dir.write("m.dbf", test::buildDbf(spec));
        const std::string memoPath = dir.write(c.memoName, c.memoHeader);
        ds_.setTableName(path_);
        ds_.setReadOnly(false);
        ds_.open();
        const std::vector<std::string> texts = {"short", longText, ""};
        for (const std::string& text : texts) {
            const Bytes memoBefore = TempDir::read(memoPath);
            ds_.append();
            ds_.findField("NAME")->setAsString("r");
            ds_.findField("NOTE")->setAsString(text);
            EXPECT_EQ(TempDir::read(memoPath), memoBefore) << "nothing before post()";
            EXPECT_EQ(ds_.findField("NOTE")->asString(), text) << "the pending value shows";
            ds_.post();
            EXPECT_EQ(ds_.findField("NOTE")->asString(), text);
        }
        ds_.close();
        const Bytes memo = TempDir::read(memoPath);
        const size_t block = c.version == 0xF5 ? 64 : 512;
        EXPECT_EQ(memo.size() % block, 0u);
        const size_t firstValue = c.version == 0xF5 ? 512 : 512;
        if (c.framed)
            EXPECT_NE(memo[firstValue], 's') << "a block header first";
        else
            EXPECT_EQ(std::string(memo.begin() + firstValue, memo.begin() + firstValue + 7), "short\x1A\x1A");
        const uint32_t nextFree = c.version == 0xF5 ? loadBE32(memo.data()) : loadLE32(memo.data());
        EXPECT_EQ(nextFree, memo.size() / block);

        ds_.open();
        ds_.first();
        for (const std::string& text : texts) {
            EXPECT_EQ(ds_.findField("NOTE")->asString(), text);
            ds_.next();
        }
        ds_.close();
        if (test::independentReaderAvailable()) {
            const test::ReadBackTable back = test::readBackTable(path_, "cp1250");
            ASSERT_TRUE(back.ok) << back.error;
            ASSERT_EQ(back.records.size(), 3u);
            EXPECT_EQ(back.records[0].values[1], "short");
            EXPECT_EQ(back.records[1].values[1], longText);
            EXPECT_TRUE(!back.records[2].values[1] || back.records[2].values[1]->empty());
        }
    }
}

TEST_F(RecordWriting, ValuesSetFromTextAndTheirRefusals)
{
    DbfSpec spec;
    spec.fields = {{"C", 'C', 5}, {"N", 'N', 4}, {"F", 'N', 6, 2}, {"D", 'D', 8}, {"L", 'L', 1}};
    spec.records.push_back(" abc     1  1.0020200101T");
    table(spec);
    open();
    struct Case {
        const char* field;
        const char* text;
        const char* stored;   // nullptr: refused with `error`
        const char* error;
    };
    const Case cases[] = {
        {"C", "ab", "ab   ", nullptr},
        {"C", "", "     ", nullptr},
        {"C", "abcdef", nullptr, "Text of 6 characters does not fit into field 'C' (5 characters)."},
        {"C", "Ω", nullptr, "Character 'Ω' of field 'C' has no byte in the table's code page."},
        {"C", "žluť", "\x9Elu\x9D ", nullptr},   // Windows 1250 without a hook
        {"N", "1234", "1234", nullptr},
        {"N", "-12", " -12", nullptr},
        {"N", "12.5", "  13", nullptr},
        {"N", "12345", nullptr, "12345 does not fit into field 'N' (4 characters, 0 decimals)."},
        {"N", "abc", nullptr, "'abc' is not a number for field 'N'."},
        {"N", "1,5", nullptr, "'1,5' is not a number for field 'N'."},
        {"N", "", "    ", nullptr},
        {"F", "12.345", " 12.35", nullptr},
        {"F", "-0.5", " -0.50", nullptr},
        {"F", "123456", "123456", nullptr},   // the decimals give way to the integer part
        {"F", "1234567", nullptr, "1234567 does not fit into field 'F' (6 characters, 2 decimals)."},
        {"D", "31.12.2020", "20201231", nullptr},
        {"D", "2021-02-28", "20210228", nullptr},
        {"D", "20240229", "20240229", nullptr},
        {"D", "2021-02-30", nullptr, "'2021-02-30' is not a valid date for field 'D'."},
        {"D", "30.2.2021", nullptr, "'30.2.2021' is not a valid date for field 'D'."},
        {"L", "y", "T", nullptr},
        {"L", "0", "F", nullptr},
        {"L", "False", "F", nullptr},
        {"L", "maybe", nullptr, "'maybe' is not a logical value for field 'L'."},
    };
    ds_.first();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " <- " + c.text);
        ds_.edit();
        Field& f = *ds_.findField(c.field);
        const FieldDef& def = f.def();
        const std::vector<uint8_t> before(ds_.currentRecord(), ds_.currentRecord() + 25);
        const std::string error = errorOf([&] { f.setAsString(c.text); });
        const std::string stored(reinterpret_cast<const char*>(ds_.currentRecord()) + def.offset(),
                                 static_cast<size_t>(def.size()));
        if (c.stored) {
            EXPECT_EQ(error, "(no error)");
            EXPECT_EQ(stored, c.stored);
        } else {
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(std::vector<uint8_t>(ds_.currentRecord(), ds_.currentRecord() + 25), before);
            EXPECT_EQ(ds_.state(), dsEdit) << "the record stays in editing";
        }
        ds_.cancel();
    }
    EXPECT_EQ(errorOf([&] { ds_.findField("C")->setAsString("x"); }), "Dataset not in edit or insert mode");
}

TEST_F(RecordWriting, ReadOnlyAndUnkeepableTablesRefuseWriting)
{
    table(fiveRecords());
    open(true);
    EXPECT_EQ(errorOf([&] { ds_.edit(); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(errorOf([&] { ds_.append(); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(errorOf([&] { ds_.deleteRecord(); }), "Cannot modify a read-only dataset");
    ds_.close();

    DbfSpec spec = fiveRecords();
    spec.productionIndexFlag = 1;
    table(spec);
    dir_.write("t.mdx", Bytes(16, 0));
    const Bytes before = bytes();
    // An index that cannot be kept: the table opens for reading only.
    open();
    EXPECT_EQ(ds_.recordCount(), 5);
    EXPECT_EQ(errorOf([&] { ds_.edit(); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(errorOf([&] { ds_.append(); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(errorOf([&] { ds_.deleteRecord(); }), "Cannot modify a read-only dataset");
    ds_.close();
    EXPECT_EQ(bytes(), before);

    // A field too narrow for its binary form is read, never written.
    DbfSpec narrow;
    narrow.version = 0x04;
    narrow.fields = {{"N", 'I', 2}, {"C", 'C', 3}};
    table(narrow, "narrow.dbf");
    const Bytes narrowBefore = bytes();
    EXPECT_EQ(errorOf([&] { open(); }), "Cannot modify a read-only dataset");
    EXPECT_EQ(bytes(), narrowBefore);
    open(true);
    EXPECT_TRUE(ds_.active());
}

// An exclusive open writes the records through its window and the count and
// the end mark at close.
TEST_F(RecordWriting, ExclusiveAppendCountsAtClose)
{
    table(fiveRecords());
    ds_.setExclusive(true);
    open();
    for (const char* name : {"six", "seven"}) {
        ds_.append();
        ds_.findField("NAZEV")->setAsString(name);
        ds_.post();
    }
    EXPECT_EQ(ds_.recordCount(), 7);
    ds_.close();
    const Bytes after = bytes();
    EXPECT_EQ(after.size(), static_cast<size_t>(32 + 32 * 5 + 1 + 7 * 32 + 1));
    EXPECT_EQ(after.back(), 0x1A);
    EXPECT_EQ(loadLE32(after.data() + 4), 7u);
    EXPECT_EQ(std::string(after.end() - 33, after.end() - 28), " seve");
}

// A memo value the memo file cannot take is refused when it is set.
TEST_F(RecordWriting, MemoValueWithoutItsMemoFileIsRefused)
{
    DbfSpec spec;
    spec.version = 0x83;
    spec.fields = {{"NAME", 'C', 5}, {"NOTE", 'M', 10}};
    table(spec, "nomemo.dbf");
    open();
    ds_.append();
    EXPECT_EQ(errorOf([&] { ds_.findField("NOTE")->setAsString("text"); }),
              "Cannot write memo: the memo file is missing.");
    EXPECT_EQ(ds_.state(), dsInsert);
    ds_.findField("NOTE")->setAsString("");
    ds_.findField("NAME")->setAsString("ok");
    ds_.post();
    EXPECT_EQ(ds_.recordCount(), 1);
}

// A "_DBASELOCK" field gets its stamp (counter, time, date) written at once
// when the record is locked for editing; one too short for it is left alone.
TEST_F(RecordWriting, LockStampIsWrittenWhenTheRecordIsLocked)
{
    for (const int length : {16, 6}) {
        SCOPED_TRACE(length);
        DbfSpec spec;
        spec.fields = {{"NAME", 'C', 4}, {"_DBASELOCK", 'C', length}};
        spec.records.push_back(" abcd" + std::string(static_cast<size_t>(length), '\0'));
        table(spec, "lock" + std::to_string(length) + ".dbf");
        const Bytes before = bytes();
        const size_t at = 32 + 2 * 32 + 1 + 5;
        open();
        ds_.edit();
        const Bytes locked = bytes();
        ds_.cancel();
        ds_.close();
        if (length < 8) {
            EXPECT_EQ(locked, before);
            continue;
        }
        EXPECT_EQ(locked[at], 1) << "the counter";
        EXPECT_EQ(locked[at + 1], 0);
        const std::time_t now = std::time(nullptr);
        std::tm local {};
        localtime_r(&now, &local);
        EXPECT_EQ(locked[at + 5], local.tm_year % 256);
        EXPECT_EQ(locked[at + 6], local.tm_mon + 1);
        EXPECT_EQ(bytes(), locked) << "the stamp stays after a cancel";
        EXPECT_TRUE(std::equal(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(at), locked.begin()));
    }
}

// A write the file refuses (here: beyond the process's file size limit, as a
// full disk refuses it) is reported, takes back what it changed and leaves
// the record in editing; the next post starts clean.
TEST_F(RecordWriting, FailedAppendIsReportedAndTakenBack)
{
    table(fiveRecords());
    const Bytes before = bytes();
    open();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = before.size();
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    ds_.append();
    ds_.findField("NAZEV")->setAsString("full");
    const std::string error = errorOf([&] { ds_.post(); });
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_EQ(error, "Error while writing occurred. (Disk full?)");
    EXPECT_EQ(ds_.state(), dsInsert);
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(ds_.tableFile()->writeError());
    ds_.post();
    EXPECT_EQ(ds_.recordCount(), 6);
    EXPECT_EQ(ds_.findField("NAZEV")->asString(), "full");
}

} // namespace
} // namespace karto
