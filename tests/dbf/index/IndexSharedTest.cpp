// Two programs appending to one table and its index at once: page 0 of the
// index orders their changes, each reads again what the other changed, and
// no key is lost.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "dbf/index/MdxTestTable.h"
#include "dbf/table/TableFile.h"

namespace karto {
namespace {

using test::MdxTestTable;

TEST(IndexShared, TwoProcessesAppendingLoseNoKey)
{
    MdxTestTable t({{"NAME", 'C', 12}, {"NUM", 'N', 8}, {"ID", 'C', 8}});
    std::vector<test::ValueRecord> records;
    for (int i = 0; i < 50; ++i)
        records.push_back({{"start" + std::to_string(i), std::to_string(i), "S" + std::to_string(i)}});
    t.make(records, {{"NAME", "NAME", false, iuNormal}, {"NUM", "NUM", true, iuNormal}, {"ID", "ID", false, iuDistinct}});
    constexpr int kEach = 200;
    auto appendAll = [&](const char* who) {
        TableFile table;
        t.open(table);
        table.setLockRetryMillis(5000);
        for (int i = 0; i < kEach; ++i)
            t.append(table, {std::string(who) + std::to_string(i % 37), std::to_string(i * 7 % 101),
                             std::string(who) + std::to_string(i)});
        table.close();
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int status = 0;
        try {
            appendAll("c");
        } catch (...) {
            status = 1;
        }
        ::_exit(status);
    }
    appendAll("p");
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    TableFile table;
    t.open(table, pfReadOnly);
    EXPECT_EQ(table.recordCount(), 50 + 2 * kEach);
    table.close();
    EXPECT_TRUE(t.checked());
}

// Blocks read along with the ones a change needed (neighbours of either
// tag) go stale when another writer changes that tag: the next change reads
// them again and loses nothing the other wrote.
TEST(IndexShared, BlocksReadAheadAreReadAgainAfterAnotherWriter)
{
    MdxTestTable t({{"NAME", 'C', 20}, {"ID", 'C', 8}});
    std::vector<test::ValueRecord> records;
    for (int i = 0; i < 3000; ++i)
        records.push_back({{"name" + std::to_string(i * 7919 % 3000), "I" + std::to_string(i)}});
    t.make(records, {{"NAME", "NAME", false, iuNormal}, {"ID", "ID", false, iuDistinct}});
    TableFile a;
    TableFile b;
    t.open(a);
    t.open(b);
    int next = 0;
    auto add = [&](TableFile& table, int count) {
        for (int i = 0; i < count; ++i, ++next)
            t.append(table, {"name" + std::to_string(next * 104729 % 3000), "J" + std::to_string(next)});
    };
    // The writers in turn, in short and long runs: what one holds in memory
    // (blocks it changed and blocks read with them) the other changes and
    // splits in between.
    for (const int run : {1, 400, 3, 250, 1, 500, 2}) {
        add(a, run);
        add(b, run);
    }
    a.close();
    b.close();
    TableFile check;
    t.open(check, pfReadOnly);
    EXPECT_EQ(check.recordCount(), 3000 + next);
    check.close();
    EXPECT_TRUE(t.checked());
}

} // namespace
} // namespace karto
