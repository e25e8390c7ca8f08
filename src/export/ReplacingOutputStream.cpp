#include "export/ReplacingOutputStream.h"

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

ReplacingOutputStream::ReplacingOutputStream(std::string target) : target_(std::move(target))
{
    std::string pattern = target_ + ".~XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0)
        throw KartoError("Cannot create file \"" + target_ + "\". " + std::strerror(errno));
    tempPath_ = name.data();
    // mkstemp makes the file private; give it the usual permissions of a new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    buffer_.reserve(kBufferSize);
}

ReplacingOutputStream::~ReplacingOutputStream()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!committed_ && !tempPath_.empty())
        ::unlink(tempPath_.c_str());
}

void ReplacingOutputStream::fail(const char* what, int error)
{
    throw KartoError(std::string(what) + " \"" + target_ + "\". " + std::strerror(error));
}

void ReplacingOutputStream::flush()
{
    const char* p = buffer_.data();
    std::size_t left = buffer_.size();
    uint64_t at = bufferStart_;
    while (left > 0) {
        const ssize_t done = ::pwrite(fd_, p, left, static_cast<off_t>(at));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            fail("Cannot write file", errno);
        }
        if (done == 0)
            fail("Cannot write file", ENOSPC);
        p += done;
        left -= static_cast<std::size_t>(done);
        at += static_cast<uint64_t>(done);
    }
    buffer_.clear();
    bufferStart_ = position_;
}

void ReplacingOutputStream::write(const void* data, std::size_t size)
{
    if (fd_ < 0)
        fail("Cannot write file", EBADF);
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
    if (::ftruncate(fd_, static_cast<off_t>(position_)) != 0)
        fail("Cannot write file", errno);
}

void ReplacingOutputStream::commit()
{
    flush();
    if (::fsync(fd_) != 0 && errno != EINVAL)
        fail("Cannot write file", errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        fail("Cannot write file", errno);
    if (::rename(tempPath_.c_str(), target_.c_str()) != 0)
        fail("Cannot create file", errno);
    committed_ = true;
}

} // namespace karto
