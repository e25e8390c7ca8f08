// Opens arbitrary bytes as a table, read-only, and reads its header, field
// descriptors and every record, forwards, backwards and by jumps.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "dbf/Error.h"
#include "dbf/table/TableFile.h"

namespace {

void walk(karto::TableFile& table)
{
    const karto::FieldDefs& defs = table.fieldDefs();
    for (int i = 0; i < defs.count(); ++i) {
        const karto::FieldDef& def = defs.item(i);
        if (def.offset() < 1 || def.offset() + def.size() > table.recordSize())
            __builtin_trap();
        table.getFieldInfo(def.fieldName());
    }
    (void)table.languageStr();
    const int32_t count = table.recordCount();
    std::vector<uint8_t> buffer(static_cast<size_t>(table.recordSize()));
    unsigned sum = 0;
    for (int32_t n = 1; n <= count + 1; ++n) {
        if (const uint8_t* r = table.recordPtr(n))
            sum += r[table.recordSize() - 1];
    }
    table.setBufferAhead(true);
    for (int32_t n = count + 1; n >= 0; --n) {
        if (const uint8_t* r = table.recordPtr(n))
            sum += r[0];
    }
    for (int32_t n = 1; n <= count; n += 7)
        table.readRecord(n, buffer.data());
    table.readRecord(count / 2 + 1, buffer.data());
    (void)sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // From memory.
    {
        std::vector<uint8_t> bytes(data, data + size);
        karto::TableFile table;
        table.setStream(&bytes);
        table.setMode(karto::pfMemoryOpen);
        try {
            table.open();
            walk(table);
        } catch (const karto::KartoError&) {
        }
    }
    // From a file, read-only (an anonymous in-memory file).
    const int fd = memfd_create("fuzz-table", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    size_t written = 0;
    while (written < size) {
        const ssize_t w = ::write(fd, data + written, size - written);
        if (w <= 0)
            break;
        written += static_cast<size_t>(w);
    }
    {
        karto::TableFile table;
        table.setFileName("/proc/self/fd/" + std::to_string(fd));
        table.setMode(karto::pfReadOnly);
        try {
            table.open();
            walk(table);
        } catch (const karto::KartoError&) {
        }
    }
    ::close(fd);
    return 0;
}
