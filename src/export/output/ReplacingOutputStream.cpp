#include "export/output/ReplacingOutputStream.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "dbf/Error.h"

namespace karto {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

} // namespace

ReplacingOutputStream::ReplacingOutputStream(std::string target) : file_(std::move(target))
{
    buffer_.reserve(kBufferSize);
}

void ReplacingOutputStream::flush()
{
    const char* p = buffer_.data();
    std::size_t left = buffer_.size();
    uint64_t at = bufferStart_;
    while (left > 0) {
        const ssize_t done = ::pwrite(file_.fd(), p, left, static_cast<off_t>(at));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            file_.fail("Cannot write file", errno);
        }
        if (done == 0)
            file_.fail("Cannot write file", ENOSPC);
        p += done;
        left -= static_cast<std::size_t>(done);
        at += static_cast<uint64_t>(done);
    }
    buffer_.clear();
    bufferStart_ = position_;
}

void ReplacingOutputStream::write(const void* data, std::size_t size)
{
    if (committed_)
        file_.fail("Cannot write file", EBADF);
    if (position_ != bufferStart_ + buffer_.size()) {
        flush();
        bufferStart_ = position_;
    }
    if (buffer_.size() + size > kBufferSize) {
        flush();
        if (size >= kBufferSize) {
            buffer_.assign(static_cast<const char*>(data), size);
            position_ += size;
            flush();
            return;
        }
    }
    buffer_.append(static_cast<const char*>(data), size);
    position_ += size;
}

void ReplacingOutputStream::seek(uint64_t position)
{
    if (position == position_)
        return;
    flush();
    position_ = position;
    bufferStart_ = position;
}

void ReplacingOutputStream::truncate()
{
    flush();
    if (::ftruncate(file_.fd(), static_cast<off_t>(position_)) != 0)
        file_.fail("Cannot write file", errno);
}

void ReplacingOutputStream::commit()
{
    flush();
    file_.commit();
    committed_ = true;
}

} // namespace karto
