#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "support/DbfBuilder.h"
#include "dbf/Error.h"
#include "dbf/table/TableDataset.h"
#include "dbf/text/Windows1250.h"

using namespace karto;
using karto::test::DbfSpec;
using karto::test::TempDir;

namespace {

// Ten records NAME C 10 / N N 4: "R1".."R10", the given ones deleted.
DbfSpec tenRecords(std::initializer_list<int> deleted = {})
{
    DbfSpec spec;
    spec.fields = {{"NAME", 'C', 10}, {"N", 'N', 4}};
    for (int i = 1; i <= 10; ++i) {
        bool del = false;
        for (int d : deleted)
            del = del || d == i;
        char rec[32];
        std::snprintf(rec, sizeof rec, "%c%-10s%4d", del ? '*' : ' ', ("R" + std::to_string(i)).c_str(), i);
        spec.records.emplace_back(rec);
    }
    return spec;
}

class DatasetFixture : public ::testing::Test {
protected:
    void openSpec(const DbfSpec& spec)
    {
        path_ = dir_.write("T.DBF", karto::test::buildDbf(spec));
        ds_.setTableName(path_);
        ds_.open();
    }
    std::vector<std::string> walk()
    {
        std::vector<std::string> names;
        for (ds_.first(); !ds_.eof(); ds_.next())
            names.push_back(ds_.field(0).asString());
        return names;
    }

    TempDir dir_;
    std::string path_;
    TableDataset ds_;
};

TEST_F(DatasetFixture, WalksVisibleRecordsAndCountsEveryRecord)
{
    openSpec(tenRecords({1, 2, 5}));
    EXPECT_EQ(ds_.tableName(), "T.DBF");
    EXPECT_EQ(ds_.recordCount(), 10);
    EXPECT_EQ(walk(), (std::vector<std::string>{"R3", "R4", "R6", "R7", "R8", "R9", "R10"}));
    // The status text shows the physical number: the third record is 3/10.
    ds_.first();
    EXPECT_EQ(ds_.recNo(), 3);
    EXPECT_EQ(ds_.field(1).asLargeInt(), 3);

    ds_.setShowDeleted(true);
    EXPECT_EQ(ds_.recNo(), 3) << "showing deleted records keeps the current record";
    EXPECT_EQ(walk().size(), 10u);
    ds_.setRecNo(1);
    EXPECT_TRUE(ds_.isDeleted());
}

TEST_F(DatasetFixture, SetRecNoOnHiddenRecordLandsOnNeighbour)
{
    openSpec(tenRecords({4, 10}));
    ds_.setRecNo(4);
    EXPECT_EQ(ds_.recNo(), 5);
    ds_.setRecNo(10);
    EXPECT_EQ(ds_.recNo(), 9);
}

TEST_F(DatasetFixture, EverythingDeletedGivesEmptyView)
{
    openSpec(tenRecords({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    ds_.first();
    EXPECT_TRUE(ds_.eof());
    EXPECT_TRUE(ds_.bof());
    EXPECT_TRUE(ds_.isEmpty());
    EXPECT_EQ(ds_.recordCount(), 10);
}

TEST_F(DatasetFixture, FilterCallbackSeesTheCandidateRecord)
{
    openSpec(tenRecords());
    ds_.setOnFilterRecord([](TableDataset& ds, bool& accept) {
        accept = ds.field(1).asLargeInt() % 3 == 0;
        EXPECT_EQ(ds.recNo(), ds.field(1).asLargeInt()) << "the candidate is the current record";
    });
    ds_.setFiltered(true);
    EXPECT_EQ(walk(), (std::vector<std::string>{"R3", "R6", "R9"}));
    ds_.setOnFilterRecord([](TableDataset&, bool& accept) { accept = false; });
    ds_.refresh();
    ds_.first();
    EXPECT_TRUE(ds_.eof());
    EXPECT_TRUE(ds_.isEmpty());
}

TEST_F(DatasetFixture, BookmarkReturnsAfterWalk)
{
    openSpec(tenRecords({7}));
    ds_.setRecNo(6);
    const auto mark = ds_.getBookmark();
    {
        ControlsDisabled walk(ds_);
        for (ds_.first(); !ds_.eof(); ds_.next()) {
        }
    }
    ds_.gotoBookmark(mark);
    EXPECT_EQ(ds_.recNo(), 6);
    try {
        ds_.gotoBookmark(7);
        FAIL() << "a hidden record cannot be a bookmark's target";
    } catch (const TableError& e) {
        EXPECT_STREQ(e.what(), "Record not found");
    }
    ds_.gotoBookmark(INT32_MAX);
    EXPECT_EQ(ds_.recNo(), 10);
}

TEST_F(DatasetFixture, DuplicateFieldNamesAreNumbered)
{
    DbfSpec spec;
    spec.fields = {{"NAME", 'C', 2}, {"NAME", 'C', 2}, {"NAME", 'C', 2}};
    spec.records = {" aabbcc"};
    openSpec(spec);
    ASSERT_EQ(ds_.fieldCount(), 3);
    EXPECT_EQ(ds_.field(1).fieldName(), "NAME2");
    EXPECT_EQ(ds_.field(2).fieldName(), "NAME3");
    EXPECT_EQ(ds_.findField("name2")->asString(), "bb");
}

TEST_F(DatasetFixture, ClosedDatasetRefusesWalks)
{
    try {
        ds_.first();
        FAIL();
    } catch (const TableError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this operation on a closed dataset");
    }
}

TEST_F(DatasetFixture, DirectReadsServeTheGrid)
{
    openSpec(tenRecords({2}));
    std::vector<uint8_t> buffer;
    ASSERT_TRUE(ds_.readRecord(2, buffer));
    EXPECT_FALSE(ds_.isVisible(buffer.data()));
    std::string text;
    ds_.appendFieldText(text, 0, buffer.data());
    EXPECT_EQ(text, "R2");
    EXPECT_FALSE(ds_.readRecord(11, buffer));
}

// A hook that upper-cases in place, to show where text passes through it.
class UpperHook : public TranslateHook {
public:
    int translate(uint8_t* src, uint8_t*, bool) override
    {
        ++calls;
        for (uint8_t* p = src; *p; ++p)
            if (*p >= 'a' && *p <= 'z')
                *p = static_cast<uint8_t>(*p - 32);
        return -1;
    }
    int calls = 0;
};

TEST_F(DatasetFixture, TextPassesTheTranslateHookThenBecomesUtf8)
{
    DbfSpec spec;
    spec.fields = {{"NAME", 'C', 6}};
    spec.records = {" ab\x9a\xe8  "};   // "abšč" in Windows 1250
    UpperHook hook;
    ds_.setOnTranslate(&hook);
    openSpec(spec);
    EXPECT_EQ(ds_.field(0).asString(), "AB\xc5\xa1\xc4\x8d");
    EXPECT_GE(hook.calls, 1);
}

TEST(TableDatasetOpenWarnings, WhatOpeningFoundWrong)
{
    struct Case {
        const char* what;
        int64_t headerCount;     // -1: the records written
        std::size_t cutBytes;    // taken off the end of the file
        bool memoField;
        int recordsMissingFrom;  // header count warned about, -1: no such warning
        int recordsHeld;
        bool memoMissing;
    };
    const Case cases[] = {
        {"all well", -1, 0, false, -1, 10, false},
        {"header promises two more", 12, 0, false, 12, 10, false},
        {"last record cut short", -1, 1 + 5, false, 10, 9, false},
        {"header states fewer: the file's records show", 8, 0, false, -1, 10, false},
        {"memo file missing", -1, 0, true, -1, 10, true},
        {"both", 11, 0, true, 11, 10, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DbfSpec spec = tenRecords();
        if (c.memoField) {
            spec.version = 0x83;
            spec.fields.push_back({"POZN", 'M', 10});
        }
        spec.headerCount = c.headerCount;
        std::vector<uint8_t> bytes = karto::test::buildDbf(spec);
        bytes.resize(bytes.size() - c.cutBytes);
        TempDir dir;
        TableDataset ds;
        ds.setTableName(dir.write("T.DBF", bytes));
        ds.open();
        EXPECT_EQ(ds.recordCount(), c.recordsHeld);
        EXPECT_EQ(ds.recordSize(), c.memoField ? 25 : 15);
        const std::vector<OpenWarning>& warnings = ds.openWarnings();
        const std::size_t expected = (c.recordsMissingFrom >= 0 ? 1u : 0u) + (c.memoMissing ? 1u : 0u);
        ASSERT_EQ(warnings.size(), expected);
        std::size_t at = 0;
        if (c.recordsMissingFrom >= 0) {
            EXPECT_EQ(warnings[at].kind, OpenWarning::RecordsMissing);
            EXPECT_EQ(warnings[at].headerCount, static_cast<uint32_t>(c.recordsMissingFrom));
            EXPECT_EQ(warnings[at].fileCount, c.recordsHeld);
            ++at;
        }
        if (c.memoMissing) {
            EXPECT_EQ(warnings[at].kind, OpenWarning::MemoFileMissing);
            EXPECT_EQ(warnings[at].fileName, dir.file("T.dbt"));
        }
        ds.close();
        EXPECT_TRUE(ds.openWarnings().empty());
    }
}

// Visual FoxPro's varchar ("V"), varbinary ("Q") and blob ("W") fields. Each
// varchar and varbinary field owns a bit in "_NULLFLAGS" (set: the value is
// as long as the field's last byte says), before its null bit when it is
// nullable: here V1 bit 0, V2 bit 1 and null bit 2, Q1 bit 3.
TEST(VisualFoxProFields, ReadAsTextBytesAndBlobsButNeverWritten)
{
    DbfSpec spec;
    spec.version = 0x32;
    spec.fields = {{"V1", 'V', 6}, {"V2", 'V', 6, 0, 0x02}, {"Q1", 'Q', 4}, {"W1", 'W', 4},
                   {"_NullFlags", '0', 1, 0, 0x05}};
    using namespace std::string_literals;
    spec.records = {
        " abc  \x03" "Dobr\xfd \x00\x01\x02\x03\x08\x00\x00\x00\x01"s,
        " abcdef      \xff\x20\x00\x02\x00\x00\x00\x00\x0c"s,
        // A length byte beyond the field reads as the longest value it can be.
        " abcde\xff     \x00    \x00\x00\x00\x00\x03"s,
    };
    TempDir dir;
    std::vector<uint8_t> memo(512 + 64, 0);
    memo[3] = 9;    // next free block
    memo[7] = 64;   // block size
    const std::string blob = "\x89PNG\x00\x1a"s;
    memo[512 + 7] = static_cast<uint8_t>(blob.size());   // type 0 (binary), length
    std::copy(blob.begin(), blob.end(), memo.begin() + 512 + 8);
    dir.write("T.FPT", memo);
    const std::string path = dir.write("T.DBF", karto::test::buildDbf(spec));

    TableDataset ds;
    ds.setTableName(path);
    ds.open();
    EXPECT_EQ(ds.field(0).dataType(), ftString);
    EXPECT_EQ(ds.field(2).dataType(), ftBlob);
    EXPECT_EQ(ds.field(3).dataType(), ftBlob);
    EXPECT_TRUE(ds.field(2).isBlob());
    struct Row {
        std::string v1, v2;
        bool v2Null;
        std::string q1, w1;
    };
    const Row rows[] = {
        {"abc", "Dobrý", false, "\x00\x01\x02\x03"s, blob},
        {"abcdef", "", true, "\xff "s, ""},
        // An empty varchar is a value, not null.
        {"abcde", "", false, "    ", ""},
    };
    int n = 0;
    for (ds.first(); !ds.eof(); ds.next(), ++n) {
        ASSERT_LT(n, 3);
        SCOPED_TRACE(n);
        const Row& want = rows[n];
        EXPECT_EQ(ds.field(0).asString(), want.v1);
        EXPECT_EQ(ds.field(0).rawString(), want.v1);
        EXPECT_EQ(ds.storedText(0, ds.currentRecord()), want.v1);
        EXPECT_EQ(ds.field(1).asString(), want.v2);
        EXPECT_EQ(ds.field(1).isNull(), want.v2Null);
        EXPECT_EQ(ds.storedMemo(2, ds.currentRecord()), want.q1);
        EXPECT_EQ(ds.storedMemo(3, ds.currentRecord()), want.w1);
        // Binary values show as their bytes read as Windows 1250, as binary
        // memos do.
        std::string shown;
        ds.appendFieldText(shown, 2, ds.currentRecord());
        EXPECT_EQ(shown, windows1250ToUtf8(want.q1));
    }
    EXPECT_EQ(n, 3);
    ds.close();

    // Writing them is not supported: a writable open is refused.
    ds.setReadOnly(false);
    try {
        ds.open();
        ADD_FAILURE() << "opened for writing";
    } catch (const TableError& e) {
        EXPECT_STREQ(e.what(), "Cannot modify a read-only dataset");
    }
    EXPECT_FALSE(ds.active());
}

} // namespace
