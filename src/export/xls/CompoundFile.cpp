#include "export/xls/CompoundFile.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <fstream>
#include <ostream>
#include <vector>

#include "export/xls/ByteSource.h"
#include "export/output/OutputStream.h"

namespace karto {

namespace {

constexpr std::uint32_t kEntriesPerSector = CompoundFile::kSectorSize / 4;   // 128
constexpr std::uint32_t kDifatEntriesPerSector = kEntriesPerSector - 1;      // 127, the last slot chains
constexpr std::size_t kCopyBlock = 1 << 20;                                   // data is copied in 1 MiB blocks

std::uint32_t ceilDiv(std::uint64_t a, std::uint64_t b)
{
    return static_cast<std::uint32_t>((a + b - 1) / b);
}

std::uint32_t difatSectorsFor(std::uint32_t fatSectors)
{
    if (fatSectors <= CompoundFile::kHeaderDifatEntries)
        return 0;
    return ceilDiv(fatSectors - CompoundFile::kHeaderDifatEntries, kDifatEntriesPerSector);
}

// Where the document's bytes go.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void write(const char* data, std::size_t size) = 0;
};

class OstreamSink : public Sink {
public:
    explicit OstreamSink(std::ostream& out) : out_(out) {}
    void write(const char* data, std::size_t size) override
    {
        out_.write(data, static_cast<std::streamsize>(size));
        if (!out_)
            throw CompoundFileError("Stream write error");
    }

private:
    std::ostream& out_;
};

class OutputStreamSink : public Sink {
public:
    explicit OutputStreamSink(OutputStream& out) : out_(out) {}
    void write(const char* data, std::size_t size) override { out_.write(data, size); }

private:
    OutputStream& out_;
};

// Buffered little-endian output that counts the bytes written since the start
// of the document, so that parts can be filled up to sector boundaries.
class SectorOutput {
public:
    explicit SectorOutput(Sink& out) : out_(out) { buffer_.reserve(kBufferSize); }

    void put8(std::uint8_t v)
    {
        buffer_.push_back(static_cast<char>(v));
        if (buffer_.size() >= kBufferSize)
            flush();
    }
    void put16(std::uint16_t v)
    {
        put8(static_cast<std::uint8_t>(v));
        put8(static_cast<std::uint8_t>(v >> 8));
    }
    void put32(std::uint32_t v)
    {
        put16(static_cast<std::uint16_t>(v));
        put16(static_cast<std::uint16_t>(v >> 16));
    }
    void zeros(std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            put8(0);
    }
    // Writes a block directly, bypassing the small buffer.
    void putBlock(const char* data, std::size_t n)
    {
        flush();
        out_.write(data, n);
        written_ += n;
    }

    // Fills up to the next sector boundary: zero bytes to a multiple of 4,
    // then the 32-bit fill value.
    void fillSector(std::uint32_t fill)
    {
        while (position() % 4 != 0)
            put8(0);
        while (position() % CompoundFile::kSectorSize != 0)
            put32(fill);
    }

    std::uint64_t position() const { return written_ + buffer_.size(); }

    void flush()
    {
        if (buffer_.empty())
            return;
        out_.write(buffer_.data(), buffer_.size());
        written_ += buffer_.size();
        buffer_.clear();
    }

private:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    Sink& out_;
    std::vector<char> buffer_;
    std::uint64_t written_ = 0;
};

void writeDirectoryEntry(SectorOutput& out, std::u16string_view name, std::uint8_t type,
                         std::uint32_t child, std::uint32_t start, std::uint32_t size)
{
    for (char16_t c : name)
        out.put16(static_cast<std::uint16_t>(c));
    out.zeros(64 - 2 * name.size());
    out.put16(static_cast<std::uint16_t>((name.size() + 1) * 2));
    out.put8(type);
    out.put8(1);                      // black
    out.put32(CompoundFile::kFreeSector);   // left sibling
    out.put32(CompoundFile::kFreeSector);   // right sibling
    out.put32(child);
    out.zeros(16);                    // class id
    out.put32(0);                     // state bits
    out.zeros(16);                    // creation and modification times
    out.put32(start);
    out.put32(size);
    out.put32(0);                     // high half of the size
}

void writeDocument(Sink& sink, ByteSource& data, std::u16string_view name);

void writeUnusedEntry(SectorOutput& out)
{
    out.zeros(68);
    out.put32(CompoundFile::kFreeSector);
    out.put32(CompoundFile::kFreeSector);
    out.put32(CompoundFile::kFreeSector);
    out.zeros(48);
}

} // namespace

CompoundFile::Layout CompoundFile::computeLayout(std::uint64_t size)
{
    if (size > kMaxStreamSize)
        throw CompoundFileError("Stream too large for a compound document");
    Layout layout;
    layout.size = size;
    layout.dataSectors = ceilDiv(size, kSectorSize);
    layout.miniFatSectors = size < kMiniStreamCutoff ? 1 : 0;
    std::uint32_t fat = ceilDiv(layout.dataSectors, kEntriesPerSector);
    std::uint32_t difat = difatSectorsFor(fat);
    // The FAT also covers the directory, the mini FAT, the DIFAT and itself;
    // growing it may need yet another FAT sector, so repeat until stable.
    for (;;) {
        const std::uint64_t total = std::uint64_t(layout.dataSectors) + 1 + fat + difat + layout.miniFatSectors;
        const std::uint32_t newFat = ceilDiv(total, kEntriesPerSector);
        const std::uint32_t newDifat = difatSectorsFor(newFat);
        if (newFat == fat && newDifat == difat)
            break;
        fat = newFat;
        difat = newDifat;
    }
    layout.fatSectors = fat;
    layout.difatSectors = difat;
    return layout;
}

void CompoundFile::saveToStream(std::ostream& output, ByteSource& data, std::u16string_view name)
{
    OstreamSink sink(output);
    writeDocument(sink, data, name);
}

void CompoundFile::saveToStream(OutputStream& output, ByteSource& data, std::u16string_view name)
{
    OutputStreamSink sink(output);
    writeDocument(sink, data, name);
}

namespace {

void writeDocument(Sink& sink, ByteSource& data, std::u16string_view name)
{
    using C = CompoundFile;
    if (name.empty() || name.size() > C::kMaxNameLength)
        throw CompoundFileError("Invalid stream name");
    const C::Layout L = C::computeLayout(data.remaining());
    const bool isShort = L.isShort();
    const std::uint32_t X = L.difatSectors;
    const std::uint32_t F = L.fatSectors;
    const std::uint32_t M = L.miniFatSectors;
    const std::uint32_t miniSectors = ceilDiv(L.size, C::kMiniSectorSize);
    // An empty stream owns no sector at all.
    const bool empty = L.size == 0;

    SectorOutput out(sink);

    // 1. Header.
    static constexpr std::uint8_t kIdentifier[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (std::uint8_t b : kIdentifier)
        out.put8(b);
    out.zeros(16);                    // UID
    out.put16(0x003E);                // revision
    out.put16(3);                     // version
    out.put16(0xFFFE);                // byte order
    out.put16(9);                     // sector shift
    out.put16(6);                     // mini sector shift
    out.zeros(10);
    out.put32(F);
    out.put32(L.directorySector());
    out.put32(0);
    out.put32(C::kMiniStreamCutoff);
    out.put32(isShort ? L.miniFatSector() : C::kEndOfChain);
    out.put32(M);
    out.put32(X > 0 ? 0 : C::kEndOfChain);
    out.put32(X);
    for (std::uint32_t i = 0; i < C::kHeaderDifatEntries; ++i)
        out.put32(i < F ? L.firstFatSector() + i : C::kFreeSector);

    // 2. DIFAT sectors: the FAT sectors beyond the 109 of the header.
    if (X > 0) {
        std::uint32_t fatIndex = C::kHeaderDifatEntries;
        for (std::uint32_t d = 0; d < X; ++d) {
            for (std::uint32_t slot = 0; slot < kDifatEntriesPerSector; ++slot) {
                out.put32(fatIndex < F ? L.firstFatSector() + fatIndex : C::kFreeSector);
                ++fatIndex;
            }
            out.put32(d + 1 < X ? d + 1 : C::kEndOfChain);
        }
    }

    // 3. Directory: root storage, the stream, two unused entries.
    const std::uint32_t rootStart = (isShort && !empty) ? L.firstDataSector() : C::kEndOfChain;
    const std::uint32_t rootSize = isShort ? miniSectors * C::kMiniSectorSize : 0;
    const std::uint32_t streamStart = empty ? C::kEndOfChain : (isShort ? 0 : L.firstDataSector());
    writeDirectoryEntry(out, u"Root Entry", 5, 1, rootStart, rootSize);
    writeDirectoryEntry(out, name, 2, C::kFreeSector, streamStart, static_cast<std::uint32_t>(L.size));
    writeUnusedEntry(out);
    writeUnusedEntry(out);
    out.fillSector(C::kFreeSector);

    // 4. Mini FAT: one chain over the mini sectors of the stream.
    if (isShort) {
        for (std::uint32_t k = 0; k < miniSectors; ++k)
            out.put32(k + 1 < miniSectors ? k + 1 : C::kEndOfChain);
        out.fillSector(C::kFreeSector);
    }

    // 5. FAT.
    for (std::uint32_t i = 0; i < X; ++i)
        out.put32(C::kDifatSector);
    out.put32(C::kEndOfChain);           // directory
    if (isShort)
        out.put32(C::kEndOfChain);       // mini FAT
    for (std::uint32_t i = 0; i < F; ++i)
        out.put32(C::kFatSector);
    const std::uint32_t firstData = L.firstDataSector();
    for (std::uint32_t i = 0; i < L.dataSectors; ++i)
        out.put32(i + 1 < L.dataSectors ? firstData + i + 1 : C::kEndOfChain);
    out.fillSector(C::kFreeSector);
    assert(out.position() == std::uint64_t(firstData + 1) * C::kSectorSize);

    // 6. Data, copied in blocks.
    std::vector<char> block(static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, std::max<std::uint64_t>(L.size, 1))));
    std::uint64_t left = L.size;
    while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        std::size_t got = 0;
        while (got < want) {
            const std::size_t n = data.read(block.data() + got, want - got);
            if (n == 0)
                throw CompoundFileError("Stream read error");
            got += n;
        }
        out.putBlock(block.data(), got);
        left -= got;
    }
    out.fillSector(0);
    out.flush();
}

} // namespace

void CompoundFile::saveToFile(const std::string& fileName, ByteSource& data, std::u16string_view name)
{
    std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
    if (!file)
        throw CompoundFileError("Cannot create file \"" + fileName + "\"");
    saveToStream(file, data, name);
    file.close();
    if (!file)
        throw CompoundFileError("Stream write error");
}

} // namespace karto
