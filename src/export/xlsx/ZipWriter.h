#pragma once
// Writes a ZIP archive of deflate-compressed entries onto a seekable output
// stream: local header, data, the local header rewritten with CRC and
// sizes, and at the end the central directory. Versions 10, no data
// descriptors, no ZIP64 (an entry or archive past the 32-bit limits raises
// ZipException instead of writing a damaged file).
//
// Entries are added whole (addFromString, addFromStream) or streamed:
// beginEntry, any number of writeEntry calls, finishEntry. A streamed entry
// may splice in a ready piece of raw deflate data (appendDeflated), which
// the sheet writer uses when the start of a part can only be written after
// its rows.
//
// Deflated entries are compressed by a ParallelDeflater: on the machine's
// cores unless setDeflateOptions says otherwise. Only the thread that calls
// the writer touches the output stream.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "export/xlsx/ParallelDeflater.h"

namespace karto {

class OutputStream;

enum ZipStatus { zsClosed, zsRead, zsReadWrite, zsWrite };
enum ZipMode { zmRead, zmReadWrite, zmWrite };
enum ZipCompression { zcStored, zcDeflate };

struct ZipEntryHeader {
    uint16_t madeByVersion = 10;
    uint16_t requiredVersion = 10;
    uint16_t flag = 0;
    uint16_t compressionMethod = 8;
    uint32_t modifiedDateTime = 0;  // DOS date in the high word, time in the low word
    uint32_t crc32 = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint16_t diskNumberStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint64_t localHeaderOffset = 0;
    std::string fileName;  // UTF-8, forward slashes
};

// The local time used for entry times (injectable for tests).
using ZipClock = std::function<std::tm()>;
ZipClock localZipClock();
// DOS date (high word) and time (low word) of a broken-down local time.
uint32_t dosDateTime(const std::tm& time);

class ZipWriter {
public:
    explicit ZipWriter(ZipClock clock = localZipClock());
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // How deflated entries begun from now on are compressed.
    void setDeflateOptions(const ParallelDeflateOptions& options) { deflateOptions_ = options; }

    // zmWrite: takes the stream (not owned) at its current position.
    // Another mode raises ZipException "Invalid argument".
    void openStream(OutputStream& stream, ZipMode mode);

    void addFromString(const std::string& name, std::string_view data,
                       ZipCompression compression = zcDeflate);
    // Data from the stream's current position to its end, in 16 KB blocks.
    void addFromStream(const std::string& name, std::istream& source,
                       ZipCompression compression = zcDeflate);

    // Streamed entry.
    void beginEntry(const std::string& name, ZipCompression compression = zcDeflate);
    void writeEntry(const void* data, std::size_t size);
    void writeEntry(std::string_view text) { writeEntry(text.data(), text.size()); }
    // Ends the deflate data written so far with a sync flush and copies
    // compressedSize bytes of raw deflate data (non-final blocks ending on a
    // byte boundary, as ParallelDeflater::finishSegment leaves them) from
    // source; they stand for uncompressedSize bytes whose CRC-32 is crc.
    // Later writeEntry calls start a new deflate segment. Raises ZipException
    // "Error reading temporary data" when source ends early.
    void appendDeflated(std::FILE* source, uint64_t compressedSize, uint32_t crc,
                        uint64_t uncompressedSize);
    void finishEntry();

    // Writes the central directory and end record when entries were added,
    // then forgets the entries and releases the stream.
    void close();

    ZipStatus status() const { return status_; }
    const std::vector<ZipEntryHeader>& entries() const { return files_; }
    // Uncompressed bytes given to the entry being written.
    uint64_t entryUncompressedSize() const;

private:
    void prepareEntry(const std::string& name, ZipCompression compression);
    void writeLocalHeader(const ZipEntryHeader& header, bool withSignature);
    void put(const void* data, std::size_t size);
    void addUncompressed(uint64_t size);
    void addDeflated(const DeflatedInput& data);

    ZipClock clock_;
    ParallelDeflateOptions deflateOptions_;
    ZipStatus status_ = zsClosed;
    OutputStream* stream_ = nullptr;
    uint64_t startFileData_ = 0;
    uint64_t endFileData_ = 0;
    std::vector<ZipEntryHeader> files_;
    std::unordered_map<std::string, std::size_t> filesIndex_;  // lower-cased name -> position
    bool modified_ = false;

    // The entry in progress.
    bool entryOpen_ = false;
    ZipEntryHeader entry_;
    std::unique_ptr<ParallelDeflater> deflater_;
    uint32_t entryCrc_ = 0;  // of the data before what the deflater holds
    uint64_t entryIn_ = 0;
    uint64_t entryOut_ = 0;
};

} // namespace karto
