// Thousands of appends, edits, deletions and recalls on a table with
// character, numeric and date tags (descending, unique and distinct ones
// among them), the independent checker run at intervals and at the end.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "dbf/Error.h"
#include "dbf/index/MdxTestTable.h"
#include "dbf/table/TableFile.h"

namespace karto {
namespace {

using test::MdxTestTable;

TEST(IndexRandom, AppendsEditsAndDeletesKeepEveryTagRight)
{
    MdxTestTable t({{"NAME", 'C', 8}, {"NUM", 'N', 9, 2}, {"DATUM", 'D', 8}, {"ID", 'C', 6}});
    t.make({}, {{"NAME", "NAME", false, iuNormal},
                {"NAMEDESC", "NAME", true, iuNormal},
                {"UNAME", "NAME", false, iuUnique},
                {"NUM", "NUM", false, iuNormal},
                {"DATUMD", "DATUM", true, iuNormal},
                {"ID", "ID", false, iuDistinct}});
    std::mt19937 random(20240611);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto name = [&] {
        static const char* syllables[] = {"ka", "re", "zu", "Po", "mi", "ST", "an", "o"};
        std::string s;
        const int n = 1 + pick(3);
        for (int i = 0; i < n; ++i)
            s += syllables[pick(8)];
        return s;
    };
    auto number = [&] {
        const int v = pick(200001) - 100000;
        return std::to_string(v / 100) + "." + std::to_string(std::abs(v % 100));
    };
    auto date = [&] {
        if (pick(10) == 0)
            return std::string();
        char d[16];
        std::snprintf(d, sizeof d, "%04d%02d%02d", 1990 + pick(40), 1 + pick(12), 1 + pick(28));
        return std::string(d);
    };
    std::vector<std::string> ids;   // per record (index recNo - 1)
    int nextId = 0;
    TableFile table;
    t.open(table);
    int violations = 0;
    constexpr int kOperations = 3000;
    for (int op = 1; op <= kOperations; ++op) {
        const int what = ids.empty() ? 0 : pick(10);
        if (what < 4) {
            const std::string id = "I" + std::to_string(nextId++);
            t.append(table, {name(), number(), date(), id});
            ids.push_back(id);
        } else if (what < 8) {
            const int recNo = 1 + pick(static_cast<int>(ids.size()));
            // Now and then an ID another record has: refused.
            const bool clash = pick(8) == 0 && ids.size() > 1;
            const std::string id = clash ? ids[static_cast<size_t>(pick(static_cast<int>(ids.size())))]
                                         : ids[static_cast<size_t>(recNo - 1)];
            try {
                t.edit(table, recNo, {name(), number(), date(), id});
            } catch (const KeyViolationError&) {
                EXPECT_TRUE(clash);
                ++violations;
            }
        } else {
            // Deletion mark set or cleared: no key changes.
            const int recNo = 1 + pick(static_cast<int>(ids.size()));
            std::vector<uint8_t> buffer(static_cast<size_t>(table.recordSize()));
            table.lockRecord(recNo, buffer.data());
            buffer[0] = buffer[0] == '*' ? ' ' : '*';
            table.unlockRecord(recNo, buffer.data());
        }
        if (op % 750 == 0)
            ASSERT_TRUE(t.checked()) << "after operation " << op;
    }
    table.close();
    EXPECT_GT(violations, 0);
    EXPECT_TRUE(t.checked());

    // The same run's table rebuilt from its records gives a sound index too.
    TableFile again;
    t.open(again, pfExclusiveOpen);
    EXPECT_TRUE(again.indexProblem().empty());
}

} // namespace
} // namespace karto
