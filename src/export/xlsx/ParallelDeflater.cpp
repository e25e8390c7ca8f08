#include "export/xlsx/ParallelDeflater.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <system_error>

#include <sched.h>
#include <zlib.h>

#include "export/workbook/WorkbookErrors.h"
#include "export/xlsx/Deflater.h"

namespace karto {

namespace {

constexpr std::size_t kWindow = 32768;
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;  // zlib counts input in uInt
constexpr unsigned kMaxDefaultThreads = 16;

std::atomic<unsigned> defaultThreads{0};

uint32_t crcOf(uint32_t crc, const char* data, std::size_t size)
{
    while (size > 0) {
        const std::size_t piece = std::min(size, kMaxChunk);
        crc = static_cast<uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(piece)));
        data += piece;
        size -= piece;
    }
    return crc;
}

} // namespace

unsigned defaultDeflateThreads()
{
    const unsigned set = defaultThreads.load();
    if (set > 0)
        return set;
    unsigned cores = std::thread::hardware_concurrency();
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
        cores = static_cast<unsigned>(CPU_COUNT(&allowed));
    return std::clamp(cores, 1u, kMaxDefaultThreads);
}

void setDefaultDeflateThreads(unsigned threads)
{
    defaultThreads.store(threads);
}

// A byte buffer that is not cleared when it grows.
struct ParallelDeflater::Bytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::size_t capacity = 0;

    void reserve(std::size_t wanted)
    {
        if (wanted <= capacity)
            return;
        auto fresh = std::make_unique_for_overwrite<char[]>(wanted);
        if (size > 0)
            std::memcpy(fresh.get(), data.get(), size);
        data = std::move(fresh);
        capacity = wanted;
    }
    void append(const char* bytes, std::size_t count)
    {
        std::memcpy(data.get() + size, bytes, count);
        size += count;
    }
};

// One chunk. The caller's thread writes the input, then the worker the
// output, CRC and error; `done` (under the mutex) passes it back.
struct ParallelDeflater::Job {
    Bytes input;  // the dictionary, then the chunk
    std::size_t dictionary = 0;
    int flush = Z_SYNC_FLUSH;
    uint64_t number = 0;

    Bytes output;
    uint32_t crc = 0;
    std::exception_ptr error;
    bool done = false;

    std::size_t chunkBytes() const { return input.size - dictionary; }
};

// A deflate stream with the container's settings, reset for every chunk.
struct ParallelDeflater::Compressor {
    z_stream stream{};

    Compressor()
    {
        const int code = deflateInit2(&stream, -1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        if (code != Z_OK)
            raiseZlibError(code, stream.msg);
    }
    ~Compressor() { deflateEnd(&stream); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    void compress(Job& job)
    {
        z_stream& s = stream;
        const char* data = job.input.data.get() + job.dictionary;
        const std::size_t size = job.chunkBytes();
        job.crc = crcOf(0, data, size);
        int code = deflateReset(&s);
        if (code == Z_OK && job.dictionary > 0)
            code = deflateSetDictionary(&s, reinterpret_cast<const Bytef*>(job.input.data.get()),
                                        static_cast<uInt>(job.dictionary));
        if (code != Z_OK)
            raiseZlibError(code, s.msg);
        // Room for the whole output in most cases; the sync flush adds an
        // empty stored block.
        job.output.size = 0;
        job.output.reserve(deflateBound(&s, static_cast<uLong>(size)) + 16);
        s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        s.avail_in = static_cast<uInt>(size);
        for (;;) {
            const std::size_t room = std::min(job.output.capacity - job.output.size, kMaxChunk);
            s.next_out = reinterpret_cast<Bytef*>(job.output.data.get() + job.output.size);
            s.avail_out = static_cast<uInt>(room);
            code = deflate(&s, job.flush);
            if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR)
                raiseZlibError(code, s.msg);
            job.output.size += room - s.avail_out;
            if (job.flush == Z_FINISH ? code == Z_STREAM_END : (s.avail_in == 0 && s.avail_out != 0))
                break;
            if (s.avail_out != 0)  // stopped with room left: nothing more will come
                raiseZlibError(code == Z_OK ? Z_BUF_ERROR : code, s.msg);
            job.output.reserve(job.output.capacity * 2);
        }
    }
};

ParallelDeflater::ParallelDeflater(Sink sink, const ParallelDeflateOptions& options)
    : sink_(std::move(sink)),
      chunkSize_(std::clamp<std::size_t>(options.chunkSize, 1, kMaxChunk)),
      threadCount_(options.threads > 0 ? options.threads : defaultDeflateThreads()),
      beforeChunk_(options.beforeChunk)
{
    if (threadCount_ <= 1) {
        threadCount_ = 1;
        serial_ = std::make_unique<Deflater>(sink_);
        return;
    }
    inFlightLimit_ = options.chunksInFlight > 0 ? options.chunksInFlight : 2 * threadCount_ + 2;
    current_ = newJob(nullptr);
}

ParallelDeflater::~ParallelDeflater()
{
    stopWorkers();
}

std::unique_ptr<ParallelDeflater::Job> ParallelDeflater::newJob(const Job* previous)
{
    std::unique_ptr<Job> job;
    if (!spare_.empty()) {
        job = std::move(spare_.back());
        spare_.pop_back();
    } else {
        job = std::make_unique<Job>();
    }
    job->input.size = 0;
    job->input.reserve(kWindow + chunkSize_);
    job->dictionary = 0;
    job->output.size = 0;
    job->crc = 0;
    job->error = nullptr;
    job->done = false;
    if (previous) {
        // The last 32 KiB of the stream before this chunk.
        const std::size_t n = std::min(kWindow, previous->input.size);
        job->input.append(previous->input.data.get() + previous->input.size - n, n);
        job->dictionary = n;
    }
    return job;
}

void ParallelDeflater::write(const void* data, std::size_t size)
{
    if (size == 0)
        return;
    const char* bytes = static_cast<const char*>(data);
    if (serial_) {
        written_.crc = crcOf(written_.crc, bytes, size);
        written_.size += size;
        serial_->write(data, size);
        return;
    }
    while (size > 0) {
        // A full chunk is handed over only when more data follows: the last
        // one carries the end of the stream.
        if (current_->chunkBytes() == chunkSize_)
            handOver(Z_SYNC_FLUSH, true);
        const std::size_t piece = std::min(size, chunkSize_ - current_->chunkBytes());
        current_->input.append(bytes, piece);
        bytes += piece;
        size -= piece;
    }
}

DeflatedInput ParallelDeflater::finish()
{
    return end(Z_FINISH);
}

DeflatedInput ParallelDeflater::finishSegment()
{
    return end(Z_SYNC_FLUSH);
}

DeflatedInput ParallelDeflater::end(int flush)
{
    DeflatedInput result;
    if (serial_) {
        if (flush == Z_FINISH)
            serial_->finish();
        else
            serial_->finishSegment();
        result = written_;
    } else {
        handOver(flush, false);
        writeOut(0);
        result = written_;
        current_ = newJob(nullptr);
    }
    written_ = DeflatedInput{};
    return result;
}

void ParallelDeflater::handOver(int flush, bool continued)
{
    std::unique_ptr<Job> job = std::move(current_);
    job->flush = flush;
    job->number = chunksHandedOver_++;
    if (continued)
        current_ = newJob(job.get());
    // A stream of one chunk needs no threads.
    const bool alone = !continued && inFlight_.empty() && !workersStarted_;
    if (!alone)
        startWorkers();
    if (workers_.empty()) {
        compressHere(*job);
    } else {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(job.get());
        }
        workReady_.notify_one();
    }
    inFlight_.push_back(std::move(job));
    writeOut(inFlightLimit_);
}

void ParallelDeflater::compressHere(Job& job)
{
    run(job, here_);
    job.done = true;
}

void ParallelDeflater::writeOut(std::size_t keepInFlight)
{
    while (!inFlight_.empty()) {
        Job& job = *inFlight_.front();
        {
            std::unique_lock lock(mutex_);
            if (!job.done) {
                if (inFlight_.size() <= keepInFlight)
                    return;
                jobDone_.wait(lock, [&job] { return job.done; });
            }
        }
        if (job.error)
            std::rethrow_exception(job.error);
        const std::size_t chunk = job.chunkBytes();
        written_.crc = static_cast<uint32_t>(crc32_combine(written_.crc, job.crc, static_cast<z_off_t>(chunk)));
        written_.size += chunk;
        if (job.output.size > 0)
            sink_(job.output.data.get(), job.output.size);
        spare_.push_back(std::move(inFlight_.front()));
        inFlight_.pop_front();
    }
}

void ParallelDeflater::run(Job& job, std::unique_ptr<Compressor>& compressor)
{
    // Every failure becomes the ZIP writer's error, raised where the chunk
    // is written out.
    try {
        if (beforeChunk_)
            beforeChunk_(job.number);
        if (!compressor)
            compressor = std::make_unique<Compressor>();
        compressor->compress(job);
    } catch (const KartoError&) {
        job.error = std::current_exception();
    } catch (const std::bad_alloc&) {
        job.error = std::make_exception_ptr(ZipException(zlibErrorText(Z_MEM_ERROR, zError(Z_MEM_ERROR))));
    } catch (const std::exception& e) {
        job.error = std::make_exception_ptr(ZipException(e.what()));
    } catch (...) {
        job.error = std::make_exception_ptr(ZipException(zlibErrorText(Z_STREAM_ERROR, nullptr)));
    }
}

void ParallelDeflater::startWorkers()
{
    if (workersStarted_)
        return;
    workersStarted_ = true;
    workers_.reserve(threadCount_);
    try {
        for (unsigned i = 0; i < threadCount_; ++i)
            workers_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
        // The system gave fewer threads: those that started do the work,
        // or, when none did, the caller's thread.
    }
}

void ParallelDeflater::stopWorkers()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    workReady_.notify_all();
    for (std::thread& worker : workers_)
        if (worker.joinable())
            worker.join();
    workers_.clear();
}

void ParallelDeflater::work()
{
    std::unique_ptr<Compressor> compressor;
    for (;;) {
        Job* job = nullptr;
        {
            std::unique_lock lock(mutex_);
            workReady_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_)
                return;
            job = queue_.front();
            queue_.pop_front();
        }
        run(*job, compressor);
        {
            std::lock_guard lock(mutex_);
            job->done = true;
        }
        jobDone_.notify_one();
    }
}

} // namespace karto
