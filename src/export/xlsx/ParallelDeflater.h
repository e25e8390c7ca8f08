#pragma once
// Raw deflate of one byte stream on several threads (the ZIP entries of the
// XLSX export). The caller's thread cuts the data into chunks; worker
// threads deflate them side by side, each primed with the 32 KiB before its
// chunk as the dictionary and ended with a sync flush (the last one with the
// final block), so that the chunks' outputs, one after another, are a single
// valid raw deflate stream: level -1, window bits -15, memory level 8, the
// default strategy, as the Deflater. Each worker also takes its chunk's
// CRC-32; the stream's is combined from them.
//
// The workers see only their chunks. The caller's thread fills the chunks,
// hands them over and passes the outputs, in order, to the sink; it waits
// only when the set number of chunks is under way, so memory stays bounded
// whatever the length of the stream. A failure in a worker (a zlib error, no
// memory) is raised on the caller's thread as ZipException when its chunk's
// turn comes; the threads are stopped and joined when the deflater is
// destroyed, also after an error.
//
// A stream that fits in one chunk is compressed on the caller's thread; the
// threads start with the second chunk. With one thread the deflater is the
// single-threaded Deflater: one deflate stream without chunks.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace karto {

class Deflater;

struct ParallelDeflateOptions {
    // Compressing threads: 0 the process default (defaultDeflateThreads());
    // 1 the single-threaded Deflater on the caller's thread.
    unsigned threads = 0;
    // Uncompressed bytes per chunk (1 byte ... 1 GiB).
    std::size_t chunkSize = 512 * 1024;
    // Chunks handed over and not yet written out; 0: two per thread and two
    // more.
    unsigned chunksInFlight = 0;
    // Called before a chunk (numbered from 0) is compressed, on the thread
    // that compresses it; what it throws is that chunk's failure (tests stand
    // in for a zlib or allocation failure with it).
    std::function<void(uint64_t chunk)> beforeChunk;
};

// The thread count of deflaters not given one: the cores this process may
// run on (at most 16; past a few the XML is written slower than it is
// compressed) unless set otherwise (0 returns to the cores).
unsigned defaultDeflateThreads();
void setDefaultDeflateThreads(unsigned threads);

// What went into a deflate stream: its CRC-32 and length.
struct DeflatedInput {
    uint32_t crc = 0;
    uint64_t size = 0;
};

class ParallelDeflater {
public:
    // sink receives the compressed output, on the caller's thread.
    using Sink = std::function<void(const char* data, std::size_t size)>;

    explicit ParallelDeflater(Sink sink, const ParallelDeflateOptions& options = {});
    ~ParallelDeflater();
    ParallelDeflater(const ParallelDeflater&) = delete;
    ParallelDeflater& operator=(const ParallelDeflater&) = delete;

    void write(const void* data, std::size_t size);
    // Ends the stream with a final block; returns what was written since the
    // stream (or segment) began.
    DeflatedInput finish();
    // Ends the data with a sync flush (non-final blocks, byte boundary) so
    // that other raw deflate data may follow it; the next write starts a
    // fresh stream that refers to nothing before it. Returns what was
    // written since the stream (or segment) began.
    DeflatedInput finishSegment();

    // The threads it compresses with (1: the single-threaded Deflater).
    unsigned threads() const { return threadCount_; }

private:
    struct Bytes;
    struct Job;
    struct Compressor;

    DeflatedInput end(int flush);
    std::unique_ptr<Job> newJob(const Job* previous);
    void handOver(int flush, bool continued);
    void compressHere(Job& job);
    void writeOut(std::size_t keepInFlight);
    void startWorkers();
    void stopWorkers();
    void work();
    void run(Job& job, std::unique_ptr<Compressor>& compressor);

    Sink sink_;
    std::size_t chunkSize_;
    unsigned threadCount_;
    std::size_t inFlightLimit_ = 0;
    std::function<void(uint64_t)> beforeChunk_;

    // One thread: the plain stream.
    std::unique_ptr<Deflater> serial_;

    // Several threads; the caller's side.
    DeflatedInput written_;                    // chunks written out in this segment
    std::unique_ptr<Job> current_;             // being filled
    std::deque<std::unique_ptr<Job>> inFlight_;  // handed over, in stream order
    std::vector<std::unique_ptr<Job>> spare_;
    uint64_t chunksHandedOver_ = 0;
    std::unique_ptr<Compressor> here_;         // compression on the caller's thread
    bool workersStarted_ = false;

    // Shared with the workers.
    std::mutex mutex_;
    std::condition_variable workReady_;
    std::condition_variable jobDone_;
    std::deque<Job*> queue_;  // handed over, not yet taken by a worker
    bool stop_ = false;
    std::vector<std::thread> workers_;
};

} // namespace karto
