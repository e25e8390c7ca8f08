// The reader of the CSV and TXT files that --append adds to a table, on
// arbitrary bytes: the first byte chooses the delimiter (bit 0: ";" or tab),
// the block size (bits 1-2: 1, 3, 16 bytes or the usual) and tight limits
// (bit 3), the rest is the file. Every record is read; what the reader
// promises about its results is checked.
//
// The file lives in memory (memfd) and is opened by its /proc path, as the
// reader opens any file by name.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "commands/CsvReader.h"

using namespace karto;

namespace {

int memoryFile()
{
    static const int fd = ::memfd_create("fuzz_csv_read", 0);
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int fd = memoryFile();
    if (fd < 0 || ::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, data + 1, size - 1, 0) != static_cast<ssize_t>(size - 1))
        __builtin_trap();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    const char delimiter = (data[0] & 1) ? '\t' : ';';
    const std::size_t blocks[] = {1, 3, 16, 64 * 1024};
    CsvLimits limits;
    limits.blockBytes = blocks[(data[0] >> 1) & 3];
    if (data[0] & 8) {
        limits.maxRecordBytes = 64;
        limits.maxColumns = 8;
    }
    try {
        CsvReader reader(path, delimiter, limits);
        const std::vector<std::string>& header = reader.header();
        if (header.empty() || header.size() > limits.maxColumns)
            __builtin_trap();
        // Names are unique without regard to case: each maps onto itself.
        const std::vector<int> columns = mapCsvColumns(header, header);
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i] != static_cast<int>(i) || header[i].empty())
                __builtin_trap();
        try {
            mapCsvColumns(header, {"NAZEV", "Cena", "žluť"});
        } catch (const CsvError&) {
        }

        CsvRecord record;
        int64_t line = 1;
        while (reader.next(record)) {
            if (record.values.size() != header.size() || record.line <= line)
                __builtin_trap();
            line = record.line;
            std::size_t bytes = 0;
            for (const std::string& value : record.values) {
                if (std::memchr(value.data(), '\0', value.size()))
                    __builtin_trap();
                bytes += value.size();
            }
            if (bytes > limits.maxRecordBytes)
                __builtin_trap();
        }
    } catch (const CsvError&) {
        // Refused input: the expected end for most of it.
    }
    return 0;
}
