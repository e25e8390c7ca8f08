#include "export/output/ReplacingFile.h"

#include <cerrno>
#include <unistd.h>

namespace karto {

ReplacingFile::ReplacingFile(std::string target, std::size_t bufferSize)
    : file_(std::move(target)), bufferSize_(bufferSize)
{
    buffer_.reserve(bufferSize_ + 4096);
}

void ReplacingFile::write(const void* data, std::size_t size)
{
    buffer_.append(static_cast<const char*>(data), size);
    if (buffer_.size() >= bufferSize_)
        flush();
}

void ReplacingFile::flush()
{
    const char* p = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0) {
        const ssize_t n = ::write(file_.fd(), p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            file_.fail("Cannot write file", errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
        written_ += static_cast<uint64_t>(n);
    }
    buffer_.clear();
}

void ReplacingFile::commit()
{
    flush();
    file_.commit();
}

} // namespace karto
