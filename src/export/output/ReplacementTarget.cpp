#include "export/output/ReplacementTarget.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

std::string temporaryFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

ReplacementTarget::ReplacementTarget(std::string target)
    : target_(std::move(target)), destination_(target_)
{
    struct stat link {};
    if (::lstat(target_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = ::realpath(target_.c_str(), nullptr)) {
            destination_ = resolved;
            std::free(resolved);
        }
    }
    struct stat existing {};
    const bool exists = ::stat(destination_.c_str(), &existing) == 0;
    copyOnCommit_ = exists && !S_ISREG(existing.st_mode);

    const std::string folder = copyOnCommit_ ? temporaryFolder() : folderOf(destination_);
    std::string pattern = folder + "/." + nameOf(destination_) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0)
        fail("Cannot create file", errno);
    tempPath_ = name.data();

    // The finished file keeps the target's permissions, or gets those of a new file.
    mode_t mode;
    if (exists && !copyOnCommit_) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
}

ReplacementTarget::~ReplacementTarget()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!committed_ && !tempPath_.empty())
        ::unlink(tempPath_.c_str());
}

void ReplacementTarget::fail(const char* what, int error) const
{
    throw KartoError(std::string(what) + " \"" + target_ + "\". " + std::strerror(error));
}

void ReplacementTarget::copyIntoDestination()
{
    const int out = ::open(destination_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out < 0)
        fail("Cannot create file", errno);
    std::vector<char> buffer(1 << 20);
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(fd_, buffer.data(), buffer.size(), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || !writeAll(out, buffer.data(), static_cast<std::size_t>(n))) {
            const int error = errno;
            ::close(out);
            fail("Cannot write file", error);
        }
        if (n == 0)
            break;
        at += n;
    }
    if (::close(out) != 0)
        fail("Cannot write file", errno);
}

void ReplacementTarget::commit()
{
    if (copyOnCommit_)
        copyIntoDestination();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        fail("Cannot write file", errno);
    if (copyOnCommit_) {
        ::unlink(tempPath_.c_str());
    } else if (::rename(tempPath_.c_str(), destination_.c_str()) != 0) {
        fail("Cannot create file", errno);
    }
    committed_ = true;
}

} // namespace karto
