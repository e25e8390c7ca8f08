// Production index files from arbitrary bytes: a fixed small table opened
// with them as its .mdx, then a record appended and one edited, so that the
// reader, the tree walks and the upkeep with its rollback all meet the
// damage. Nothing may crash or hang; errors are the engine's own.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "dbf/Error.h"
#include "dbf/index/IndexFile.h"
#include "dbf/table/TableFile.h"

using namespace karto;

namespace {

// NAME C10, CODE N8.2, DATUM D8; five records; production index flag set.
std::vector<uint8_t> tableBytes()
{
    const int headerSize = 32 + 3 * 32 + 1;
    const int recordSize = 1 + 10 + 8 + 8;
    std::vector<uint8_t> b(static_cast<size_t>(headerSize), 0);
    b[0] = 0x03;
    b[1] = 124;
    b[2] = 1;
    b[3] = 1;
    b[4] = 5;
    b[8] = static_cast<uint8_t>(headerSize);
    b[10] = static_cast<uint8_t>(recordSize);
    b[28] = 1;
    b[29] = 0x1F;
    const struct {
        const char* name;
        char type;
        int length;
        int decimals;
    } fields[] = {{"NAME", 'C', 10, 0}, {"CODE", 'N', 8, 2}, {"DATUM", 'D', 8, 0}};
    for (int i = 0; i < 3; ++i) {
        uint8_t* d = b.data() + 32 + i * 32;
        for (int c = 0; fields[i].name[c]; ++c)
            d[c] = static_cast<uint8_t>(fields[i].name[c]);
        d[11] = static_cast<uint8_t>(fields[i].type);
        d[16] = static_cast<uint8_t>(fields[i].length);
        d[17] = static_cast<uint8_t>(fields[i].decimals);
    }
    b[32 + 3 * 32] = 0x0D;
    const char* records[] = {" alfa         1.50 20200101", " beta        -2.00 19991231",
                             " gama      1234.56         ", " alfa         0.00 20240229",
                             " delta       99.99 20010911"};
    for (const char* r : records)
        b.insert(b.end(), r, r + recordSize);
    b.push_back(0x1A);
    return b;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string dir = [] {
        char pattern[] = "/tmp/karto-fuzz-mdx-XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        return std::string(pattern);
    }();
    static const std::vector<uint8_t> table = tableBytes();
    if (size > (1u << 20))
        return 0;
    writeFile(dir + "/t.dbf", table.data(), table.size());
    writeFile(dir + "/t.mdx", data, size);
    try {
        TableFile t;
        t.setFileName(dir + "/t.dbf");
        t.setMode(pfReadWriteOpen);
        t.open();
        if (t.indexFile())
            t.indexFile()->setLockWaitMillis(0);
        std::vector<uint8_t> record(table.begin() + 129, table.begin() + 129 + 27);
        try {
            t.insert(record.data());
        } catch (const KartoError&) {
        }
        std::vector<uint8_t> buffer(27);
        try {
            t.lockRecord(2, buffer.data());
            const char edited[] = " zeta       -7.25 20100505";
            t.unlockRecord(2, reinterpret_cast<const uint8_t*>(edited));
        } catch (const KartoError&) {
            t.releaseRecordLock(2);
        }
        t.close();
    } catch (const KartoError&) {
    }
    return 0;
}
