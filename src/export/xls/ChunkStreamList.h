#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "dbf/Error.h"
#include "export/xls/ByteSource.h"

namespace karto {

// Errors of the in-memory chunk buffers (a compression failure).
class ChunkStreamError : public KartoError {
public:
    using KartoError::KartoError;
};

// An ordered list of in-memory chunks that reads as one stream. Bytes are
// appended to the last chunk; a closed chunk may be kept deflate-compressed
// once the list holds more than a few MiB uncompressed, so a long stream
// costs a fraction of its length in memory. Compression never changes what is
// read back. A chunk list can also take whole chunks from another list.
class ChunkStreamList : public ByteSource {
public:
    // Uncompressed bytes kept before closed chunks start being compressed.
    static constexpr std::size_t kDefaultPlainLimit = 4u << 20;

    explicit ChunkStreamList(std::size_t plainLimit = kDefaultPlainLimit);
    ChunkStreamList(const ChunkStreamList&) = delete;
    ChunkStreamList& operator=(const ChunkStreamList&) = delete;
    ~ChunkStreamList() override;

    // Writing ------------------------------------------------------------
    void append(const void* data, std::size_t size);
    // The open (last) chunk, for writers that build records in place.
    std::vector<std::uint8_t>& current() { return chunks_.back().bytes; }
    // Closes the open chunk (unless it is empty) and begins a new one.
    void newChunk();
    // Number of the next chunk to be begun (the open chunk counts when empty).
    std::size_t chunkCount() const;
    // Bytes in the open chunk.
    std::size_t currentSize() const { return chunks_.back().bytes.size(); }
    // Overwrites a 32-bit little-endian value inside a chunk that is still
    // uncompressed (the open chunk, or any chunk while below the limit).
    void patch32(std::size_t chunk, std::size_t offset, std::uint32_t value);
    // Moves every chunk of other to the end of this list (other is emptied).
    void takeChunks(ChunkStreamList& other);

    // Reading ------------------------------------------------------------
    // Total length of the stream.
    std::uint64_t size() const { return closedSize_ + chunks_.back().bytes.size(); }
    // Starts reading at the beginning; no more writing afterwards.
    void rewind();
    std::uint64_t remaining() const override { return size() - readPosition_; }
    std::size_t read(char* buffer, std::size_t count) override;
    // Called whenever the read position enters another MiB: (MiB reached, total MiB).
    void setReadProgress(std::function<void(std::uint64_t, std::uint64_t)> callback)
    {
        readProgress_ = std::move(callback);
    }

    // Bytes held in memory (compressed chunks count compressed).
    std::size_t memoryUsed() const;

private:
    struct Chunk {
        std::vector<std::uint8_t> bytes;  // plain or compressed
        std::uint64_t plainSize = 0;      // length when read
        bool compressed = false;
    };

    void closeLast();
    void compress(Chunk& chunk);

    std::vector<Chunk> chunks_;
    std::size_t plainLimit_;
    std::size_t plainHeld_ = 0;           // plain bytes in closed chunks
    std::uint64_t closedSize_ = 0;        // plain length of the closed chunks
    bool reading_ = false;

    // Reader state.
    std::size_t readChunk_ = 0;
    std::uint64_t readInChunk_ = 0;
    std::uint64_t readPosition_ = 0;
    void* inflater_ = nullptr;            // z_stream of the compressed chunk being read
    std::function<void(std::uint64_t, std::uint64_t)> readProgress_;
    std::uint64_t lastMiB_ = 0;
};

} // namespace karto
