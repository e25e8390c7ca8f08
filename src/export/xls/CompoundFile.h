#pragma once
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "dbf/Error.h"

namespace karto {

class ByteSource;
class OutputStream;

// Errors while a compound document is written (output failures, a data stream
// that ends early or is too large for the container, an invalid stream name).
class CompoundFileError : public KartoError {
public:
    using KartoError::KartoError;
};

// Writes a compound document (Compound File Binary, version 3, 512-byte
// sectors) holding a single stream under a single root storage. This is the
// container of an XLS file, whose one stream is "Workbook".
//
// The whole layout is computed from the data size before anything is written,
// so the document goes out front to back in one pass without seeking:
// header, DIFAT sectors, directory, mini FAT (short streams only), FAT, data.
class CompoundFile {
public:
    static constexpr std::uint32_t kFreeSector = 0xFFFFFFFFu;       // -1
    static constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;       // -2
    static constexpr std::uint32_t kFatSector = 0xFFFFFFFDu;        // -3
    static constexpr std::uint32_t kDifatSector = 0xFFFFFFFCu;      // -4
    static constexpr std::uint32_t kSectorSize = 512;
    static constexpr std::uint32_t kMiniSectorSize = 64;
    static constexpr std::uint32_t kMiniStreamCutoff = 4096;
    static constexpr std::uint32_t kHeaderDifatEntries = 109;
    static constexpr std::size_t kMaxNameLength = 31;
    // Largest data stream accepted: the sector numbers and the 32-bit size
    // field must stay well clear of the special values.
    static constexpr std::uint64_t kMaxStreamSize = 0x7FFFFFFFu;

    // The sector counts of one document.
    struct Layout {
        std::uint64_t size = 0;       // data bytes
        std::uint32_t dataSectors = 0;    // D
        std::uint32_t miniFatSectors = 0; // M: 1 when the stream is short
        std::uint32_t fatSectors = 0;     // F
        std::uint32_t difatSectors = 0;   // X

        bool isShort() const { return miniFatSectors != 0; }
        std::uint32_t directorySector() const { return difatSectors; }
        std::uint32_t miniFatSector() const { return difatSectors + 1; }
        std::uint32_t firstFatSector() const { return difatSectors + 1 + miniFatSectors; }
        std::uint32_t firstDataSector() const { return firstFatSector() + fatSectors; }
        std::uint32_t totalSectors() const { return firstDataSector() + dataSectors; }
        // Length of the whole document in bytes (header included).
        std::uint64_t fileSize() const { return (std::uint64_t(totalSectors()) + 1) * kSectorSize; }
    };

    // Sizes the document for a data stream of the given length.
    static Layout computeLayout(std::uint64_t size);

    // Writes the document to output: the data is read from data's current
    // position to its end and stored under name (at most 31 characters).
    // Raises CompoundFileError when writing fails or the data is not as long
    // as announced; output then holds what was written so far.
    static void saveToStream(std::ostream& output, ByteSource& data, std::u16string_view name);
    // The same into an export output stream; its own write errors pass through.
    static void saveToStream(OutputStream& output, ByteSource& data, std::u16string_view name);

    // Creates (or replaces) the file and writes the document into it.
    static void saveToFile(const std::string& fileName, ByteSource& data, std::u16string_view name);
};

} // namespace karto
