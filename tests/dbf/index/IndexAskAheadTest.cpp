// Asking the production index ahead whether a record would be refused by a
// distinct tag: the answer and the engine's violation text, no byte of the
// table or the index changed, no trace left in memory (the same records
// append afterwards), unique tags never refusing, another program's new key
// seen in a shared open, and the keys of records not appended yet.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "dbf/index/IndexFile.h"
#include "dbf/index/MdxTestTable.h"
#include "dbf/table/TableFile.h"
#include "support/ErrorOf.h"

namespace karto {
namespace {

using test::errorOf;
using test::FieldSpec;
using test::MdxTestTable;
using Bytes = std::vector<uint8_t>;

const std::vector<FieldSpec> kFields = {{"NAME", 'C', 10}, {"CODE", 'N', 8, 2}, {"ID", 'C', 4}};

const std::vector<IndexTagDefinition> kTags = {
    {"NAME", "NAME", false, iuUnique},
    {"CODEDESC", "CODE", true, iuDistinct},
    {"ID", "ID", false, iuDistinct},
};

std::vector<test::ValueRecord> someRecords(int n)
{
    std::vector<test::ValueRecord> out;
    for (int i = 1; i <= n; ++i)
        out.push_back({{"name" + std::to_string(i % 7), std::to_string(i * 3) + ".25", "B" + std::to_string(i)}});
    return out;
}

// What the probe says about a record: "" when it would be appended, else
// the violation raised.
std::string probe(const MdxTestTable& t, TableFile& table, const std::vector<std::string>& values)
{
    std::string r = t.record(values);
    const std::string error =
        errorOf([&] { table.checkNewRecordKeys(reinterpret_cast<const uint8_t*>(r.data())); });
    return error == "(no error)" ? std::string() : error;
}

TEST(IndexAskAhead, RefusalsAnsweredWithNothingChanged)
{
    struct Case {
        std::vector<std::string> values;
        const char* error;   // "" : would be appended
    };
    const Case cases[] = {
        {{"x", "6.25", "B2"}, "Key violation. (Key already present in file).\r\nIndex: CODEDESC\r\nRecord=2 "
                              "Key='6.25'."},
        {{"x", "1000", "B77"}, "Key violation. (Key already present in file).\r\nIndex: ID\r\nRecord=77 Key='B77'."},
        // The unique tag holds "name3" already: no refusal.
        {{"name3", "1000", "NEW"}, ""},
        {{"zzz", "-5", "Z9"}, ""},
    };
    for (const PagedFileMode mode : {pfReadWriteOpen, pfExclusiveOpen}) {
        SCOPED_TRACE(mode);
        MdxTestTable t(kFields);
        t.make(someRecords(300), kTags);
        const Bytes mdxBefore = t.mdxBytes();
        TableFile table;
        t.open(table, mode);
        const Bytes tableBefore = t.tableBytes();
        for (const Case& c : cases) {
            SCOPED_TRACE(c.values[2]);
            EXPECT_EQ(probe(t, table, c.values), c.error);
        }
        // Many new keys, as many as splits would need if they stayed.
        for (int i = 0; i < 400; ++i)
            ASSERT_EQ(probe(t, table, {"n", std::to_string(5000 + i), "N" + std::to_string(i)}), "");
        EXPECT_EQ(t.tableBytes(), tableBefore);
        EXPECT_EQ(t.mdxBytes(), mdxBefore);
        EXPECT_EQ(table.recordCount(), 300);

        // Nothing of the probes stayed in memory either: the same records
        // append, and are then refused.
        for (int i = 0; i < 400; i += 37)
            t.append(table, {"n", std::to_string(5000 + i), "N" + std::to_string(i)});
        EXPECT_EQ(probe(t, table, {"n", "1", "N37"}),
                  "Key violation. (Key already present in file).\r\nIndex: ID\r\nRecord=302 Key='N37'.");
        table.close();
        EXPECT_TRUE(t.checked());
    }
}

TEST(IndexAskAhead, AnotherProgramsNewKeyIsSeen)
{
    MdxTestTable t(kFields);
    t.make(someRecords(40), kTags);
    TableFile table;
    t.open(table);
    ASSERT_EQ(probe(t, table, {"a", "700", "C1"}), "");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int status = 0;
        try {
            TableFile other;
            t.open(other);
            t.append(other, {"other", "800", "C1"});
            other.close();
        } catch (...) {
            status = 1;
        }
        ::_exit(status);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const Bytes mdxBefore = t.mdxBytes();
    EXPECT_EQ(probe(t, table, {"a", "700", "C1"}),
              "Key violation. (Key already present in file).\r\nIndex: ID\r\nRecord=41 Key='C1'.");
    EXPECT_EQ(t.mdxBytes(), mdxBefore);
    table.close();
    EXPECT_TRUE(t.checked());
}

TEST(IndexAskAhead, KeysOfRecordsNotAppendedYet)
{
    MdxTestTable t(kFields);
    t.make(someRecords(10), kTags);
    TableFile table;
    t.open(table);
    auto keysOf = [&](const std::vector<std::string>& values) {
        std::string r = t.record(values);
        return table.distinctKeysOfNewRecord(reinterpret_cast<const uint8_t*>(r.data()));
    };
    const std::vector<DistinctTagKey> a = keysOf({"p", "12.5", "K1"});
    ASSERT_EQ(a.size(), 2u);   // the unique tag is not asked
    EXPECT_EQ(a[0].tag, "CODEDESC");
    EXPECT_EQ(a[0].text, "12.5");
    EXPECT_EQ(a[1].tag, "ID");
    EXPECT_EQ(a[1].text, "K1");
    // Numbers equal in the tag's order are equal keys, whatever their text.
    const std::vector<DistinctTagKey> b = keysOf({"q", "12.50", "K2"});
    EXPECT_EQ(a[0].key, b[0].key);
    EXPECT_NE(a[1].key, b[1].key);
    EXPECT_NE(a[0].key, keysOf({"q", "-12.5", "K2"})[0].key);
    table.close();
}

TEST(IndexAskAhead, NoDistinctTagNoQuestion)
{
    MdxTestTable t(kFields);
    t.make(someRecords(10), {{"NAME", "NAME", false, iuUnique}, {"ID", "ID", false, iuNormal}});
    TableFile table;
    t.open(table);
    EXPECT_FALSE(table.indexFile()->hasDistinctTags());
    EXPECT_EQ(probe(t, table, {"name1", "1", "B1"}), "");
    std::string r = t.record({"name1", "1", "B1"});
    EXPECT_TRUE(table.distinctKeysOfNewRecord(reinterpret_cast<const uint8_t*>(r.data())).empty());
    table.close();
}

} // namespace
} // namespace karto
