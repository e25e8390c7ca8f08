#include "export/xls/ChunkStreamList.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

namespace karto {

ChunkStreamList::ChunkStreamList(std::size_t plainLimit) : plainLimit_(plainLimit)
{
    chunks_.emplace_back();
}

ChunkStreamList::~ChunkStreamList()
{
    if (inflater_) {
        auto* z = static_cast<z_stream*>(inflater_);
        inflateEnd(z);
        delete z;
    }
}

void ChunkStreamList::append(const void* data, std::size_t size)
{
    auto& bytes = chunks_.back().bytes;
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
}

std::size_t ChunkStreamList::chunkCount() const
{
    return chunks_.back().bytes.empty() ? chunks_.size() - 1 : chunks_.size();
}

void ChunkStreamList::closeLast()
{
    Chunk& last = chunks_.back();
    last.plainSize = last.bytes.size();
    closedSize_ += last.plainSize;
    if (plainHeld_ + last.bytes.size() > plainLimit_) {
        compress(last);
    } else {
        plainHeld_ += last.bytes.size();
        last.bytes.shrink_to_fit();
    }
}

void ChunkStreamList::newChunk()
{
    if (chunks_.back().bytes.empty())
        return;
    closeLast();
    chunks_.emplace_back();
    // Records are appended one by one; start with room for a typical chunk.
    chunks_.back().bytes.reserve(64 * 1024);
}

void ChunkStreamList::compress(Chunk& chunk)
{
    uLongf bound = compressBound(static_cast<uLong>(chunk.bytes.size()));
    std::vector<std::uint8_t> packed(bound);
    if (compress2(packed.data(), &bound, chunk.bytes.data(), static_cast<uLong>(chunk.bytes.size()), Z_BEST_SPEED) != Z_OK)
        throw ChunkStreamError("Compression error");
    packed.resize(bound);
    packed.shrink_to_fit();
    chunk.bytes.swap(packed);
    chunk.compressed = true;
}

void ChunkStreamList::patch32(std::size_t chunk, std::size_t offset, std::uint32_t value)
{
    Chunk& c = chunks_.at(chunk);
    if (c.compressed || offset + 4 > c.bytes.size())
        throw ChunkStreamError("Chunk cannot be patched");
    for (int i = 0; i < 4; ++i)
        c.bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void ChunkStreamList::takeChunks(ChunkStreamList& other)
{
    if (!other.chunks_.back().bytes.empty())
        other.closeLast();
    else
        other.chunks_.pop_back();
    // Close our own open chunk so the order is kept.
    if (!chunks_.back().bytes.empty())
        closeLast();
    else
        chunks_.pop_back();
    for (Chunk& c : other.chunks_) {
        closedSize_ += c.plainSize;
        if (!c.compressed)
            plainHeld_ += c.bytes.size();
        chunks_.push_back(std::move(c));
    }
    chunks_.emplace_back();
    other.chunks_.clear();
    other.chunks_.emplace_back();
    other.closedSize_ = 0;
    other.plainHeld_ = 0;
}

void ChunkStreamList::rewind()
{
    if (!reading_) {
        // Close the open chunk without compressing it; keep an empty open chunk
        // at the end so that size() stays valid.
        Chunk& last = chunks_.back();
        if (!last.bytes.empty()) {
            last.plainSize = last.bytes.size();
            closedSize_ += last.plainSize;
            chunks_.emplace_back();
        }
        reading_ = true;
    }
    readChunk_ = 0;
    readInChunk_ = 0;
    readPosition_ = 0;
    lastMiB_ = 0;
    if (inflater_) {
        auto* z = static_cast<z_stream*>(inflater_);
        inflateEnd(z);
        delete z;
        inflater_ = nullptr;
    }
}

std::size_t ChunkStreamList::read(char* buffer, std::size_t count)
{
    if (!reading_)
        rewind();
    std::size_t done = 0;
    while (done < count && readChunk_ < chunks_.size()) {
        Chunk& c = chunks_[readChunk_];
        const std::uint64_t left = c.plainSize - readInChunk_;
        if (left == 0) {
            if (inflater_) {
                auto* z = static_cast<z_stream*>(inflater_);
                inflateEnd(z);
                delete z;
                inflater_ = nullptr;
            }
            ++readChunk_;
            readInChunk_ = 0;
            continue;
        }
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, count - done));
        if (!c.compressed) {
            std::memcpy(buffer + done, c.bytes.data() + readInChunk_, want);
        } else {
            auto* z = static_cast<z_stream*>(inflater_);
            if (!z) {
                z = new z_stream{};
                if (inflateInit(z) != Z_OK) {
                    delete z;
                    throw ChunkStreamError("Decompression error");
                }
                inflater_ = z;
                z->next_in = c.bytes.data();
                z->avail_in = static_cast<uInt>(c.bytes.size());
            }
            z->next_out = reinterpret_cast<Bytef*>(buffer + done);
            z->avail_out = static_cast<uInt>(want);
            while (z->avail_out > 0) {
                const int rc = inflate(z, Z_NO_FLUSH);
                if (rc != Z_OK && rc != Z_STREAM_END)
                    throw ChunkStreamError("Decompression error");
                if (rc == Z_STREAM_END && z->avail_out > 0)
                    throw ChunkStreamError("Decompression error");
            }
        }
        done += want;
        readInChunk_ += want;
        readPosition_ += want;
    }
    if (readProgress_) {
        const std::uint64_t mib = readPosition_ >> 20;
        if (mib != lastMiB_) {
            lastMiB_ = mib;
            readProgress_(mib, (size() + (1u << 20) - 1) >> 20);
        }
    }
    return done;
}

std::size_t ChunkStreamList::memoryUsed() const
{
    std::size_t total = 0;
    for (const Chunk& c : chunks_)
        total += c.bytes.capacity();
    return total;
}

} // namespace karto
