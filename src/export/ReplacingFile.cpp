#include "export/ReplacingFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dbf/Error.h"

namespace karto {

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string createMessage(const std::string& target, int error)
{
    return "Cannot create file \"" + target + "\". " + std::strerror(error);
}

} // namespace

ReplacingFile::ReplacingFile(std::string target, std::size_t bufferSize)
    : target_(std::move(target)), destination_(target_), bufferSize_(bufferSize)
{
    // A symbolic link is followed: the file it names is replaced, the link
    // stays. A target that exists and is no regular file (a device such as
    // /dev/null, a pipe) cannot be replaced: it is written directly.
    struct stat link {};
    if (::lstat(target_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = ::realpath(target_.c_str(), nullptr)) {
            destination_ = resolved;
            std::free(resolved);
        }
    }
    struct stat existing {};
    if (::stat(destination_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        fd_ = ::open(destination_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd_ < 0)
            throw KartoError(createMessage(target_, errno));
        buffer_.reserve(bufferSize_ + 4096);
        return;
    }

    std::string pattern = folderOf(destination_) + "/." + nameOf(destination_) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0)
        throw KartoError(createMessage(target_, errno));
    tempPath_ = name.data();

    // The finished file gets the target's permissions, or those of a new file.
    struct stat st {};
    mode_t mode;
    if (::stat(destination_.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
    buffer_.reserve(bufferSize_ + 4096);
}

ReplacingFile::~ReplacingFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!committed_ && !tempPath_.empty())
        ::unlink(tempPath_.c_str());
}

void ReplacingFile::fail(const char* what, int error)
{
    throw KartoError(std::string(what) + " \"" + target_ + "\". " + std::strerror(error));
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
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("Cannot write file", errno);
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
    if (::close(fd_) != 0) {
        fd_ = -1;
        fail("Cannot write file", errno);
    }
    fd_ = -1;
    if (tempPath_.empty()) {   // written directly
        committed_ = true;
        return;
    }
    if (::rename(tempPath_.c_str(), destination_.c_str()) != 0)
        throw KartoError(createMessage(target_, errno));
    committed_ = true;
}

} // namespace karto
