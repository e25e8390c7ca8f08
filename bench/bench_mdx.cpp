// The production index: opening a table whose index has 47 tags, appending
// through the table file with three tags (character, numeric, date) next to
// the same appends without an index, and building those three tags on the
// whole benchmark table (the work of --reindex).
//
//   bench_mdx BENCH.dbf WORK-FOLDER [appends]
//
// Works on copies of the benchmark table in WORK-FOLDER.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "dbf/index/IndexFile.h"
#include "dbf/index/Reindex.h"
#include "dbf/table/TableFile.h"

using namespace karto;
using namespace karto::bench;
namespace fs = std::filesystem;

namespace {

const std::vector<IndexTagDefinition> kThreeTags = {
    {"NAZEV", "NAZEV", false, iuNormal},
    {"CENA", "CENA", false, iuNormal},
    {"DATUM", "DATUM", false, iuNormal},
};

// A copy of the table cut to its first `records` records.
void copyTable(const std::string& from, const std::string& to, long records)
{
    fs::remove(to);
    fs::remove(fs::path(to).replace_extension(".mdx"));
    fs::copy_file(from, to);
    TableFile t;
    t.setFileName(to);
    t.setMode(pfExclusiveOpen);
    t.open();
    if (records >= 0 && records < t.recordCount())
        t.setRecordCount(static_cast<int32_t>(records));
    t.setRecordCountDirty();
    t.close();
}

void createTags(const std::string& table, const std::vector<IndexTagDefinition>& tags)
{
    TableFile t;
    t.setFileName(table);
    t.setMode(pfExclusiveOpen);
    t.open();
    IndexFile index(t);
    index.setFileName(fs::path(table).replace_extension(".mdx").string());
    index.create(tags);
    t.close();
}

double appendRecords(const std::string& table, const std::string& source, long count)
{
    TableFile from;
    from.setFileName(source);
    from.setMode(pfReadOnly);
    from.open();
    from.setBufferAhead(true);
    TableFile t;
    t.setFileName(table);
    t.setMode(pfReadWriteOpen);   // shared, as --append opens it
    t.open();
    if (!t.indexProblem().empty())
        std::fprintf(stderr, "index problem: %s\n", t.indexProblem().c_str());
    std::vector<uint8_t> record(static_cast<size_t>(t.recordSize()));
    const auto start = Clock::now();
    for (long i = 0; i < count; ++i) {
        const uint8_t* r = from.recordPtr(static_cast<int32_t>(i % from.recordCount()) + 1);
        std::copy(r, r + record.size(), record.begin());
        record[0] = ' ';
        t.insert(record.data());
    }
    t.close();
    return seconds(start);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s BENCH.dbf WORK-FOLDER [appends]\n", argv[0]);
        return 2;
    }
    const std::string bench = argv[1];
    const fs::path work = argv[2];
    const long appends = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 100000;
    fs::create_directories(work);
    try {
        // 47 tags on a small copy: opening reads the headers, never the records.
        const std::string small = (work / "tags47.dbf").string();
        copyTable(bench, small, 20000);
        std::vector<IndexTagDefinition> many;
        const char* fields[] = {"NAZEV", "MESTO", "POCET", "CENA", "DATUM", "POZN"};
        for (int i = 0; i < 47; ++i)
            many.push_back({"T" + std::to_string(i), fields[i % 6], i % 2 == 1, iuNormal});
        createTags(small, many);
        const int opens = 50;
        auto start = Clock::now();
        for (int i = 0; i < opens; ++i) {
            TableFile t;
            t.setFileName(small);
            t.setMode(pfReadWriteOpen);
            t.open();
            if (!t.indexProblem().empty())
                std::fprintf(stderr, "index problem: %s\n", t.indexProblem().c_str());
            t.close();
        }
        std::printf("open of a table whose index has 47 tags: %.2f ms\n", seconds(start) * 1000 / opens);

        // Appends with three tags and without an index.
        const std::string plain = (work / "plain.dbf").string();
        const std::string tagged = (work / "tagged.dbf").string();
        copyTable(bench, plain, -1);
        copyTable(bench, tagged, -1);
        start = Clock::now();
        const double cpu0 = cpuSeconds();
        createTags(tagged, kThreeTags);
        std::printf("create() of 3 tags (C30, N12.2, D) on the whole table: %.2f s (cpu %.2f s), peak %ld MiB\n",
                    seconds(start), cpuSeconds() - cpu0, peakRssKiB() / 1024);
        start = Clock::now();
        reindexProductionIndex(tagged);
        std::printf("reindex of those tags: %.2f s\n", seconds(start));

        const double without = appendRecords(plain, bench, appends);
        const double with = appendRecords(tagged, bench, appends);
        std::printf("%ld appends through TableFile::insert (shared): no index %.2f s (%.0f/s), "
                    "3 tags %.2f s (%.0f/s), ratio %.2f\n",
                    appends, without, appends / without, with, appends / with, with / without);
        fs::remove(plain);
        fs::remove(tagged);
        fs::remove(fs::path(tagged).replace_extension(".mdx"));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_mdx: %s\n", e.what());
        return 1;
    }
    return 0;
}
