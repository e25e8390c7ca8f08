#include "export/xls/ByteSource.h"

#include <algorithm>
#include <cstring>

namespace karto {

std::size_t MemoryByteSource::read(char* buffer, std::size_t count)
{
    const std::size_t n = std::min(count, size_ - position_);
    if (n > 0) {
        std::memcpy(buffer, data_ + position_, n);
        position_ += n;
    }
    return n;
}

ConcatByteSource::ConcatByteSource(std::initializer_list<ByteSource*> parts) : parts_(parts)
{
    for (ByteSource* part : parts_)
        total_ += part->remaining();
}

std::uint64_t ConcatByteSource::remaining() const
{
    std::uint64_t n = 0;
    for (std::size_t i = current_; i < parts_.size(); ++i)
        n += parts_[i]->remaining();
    return n;
}

std::size_t ConcatByteSource::read(char* buffer, std::size_t count)
{
    std::size_t done = 0;
    while (done < count && current_ < parts_.size()) {
        const std::size_t n = parts_[current_]->read(buffer + done, count - done);
        if (n == 0)
            ++current_;
        done += n;
    }
    position_ += done;
    if (progress_ && (position_ >> 20) != lastMiB_) {
        lastMiB_ = position_ >> 20;
        progress_(lastMiB_, (total_ + (1u << 20) - 1) >> 20);
    }
    return done;
}

} // namespace karto
