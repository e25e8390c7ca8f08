#include "dbf/table/TableCreation.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dbf/Messages.h"
#include "dbf/io/ByteOrder.h"
#include "dbf/table/TableFile.h"

namespace karto {

namespace {

constexpr int kHeaderSize = 32;
constexpr int kDescriptorSize = 32;
constexpr int kNameLength = 10;
constexpr int kMaxFields = 255;

std::string upperName(const std::string& name)
{
    std::string out = name;
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string descriptorName(const std::string& name)
{
    return upperName(name.substr(0, std::min<size_t>(name.size(), kNameLength)));
}

bool validName(const std::string& name)
{
    if (name.empty())
        return false;
    const char first = name[0];
    if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')))
        return false;
    for (const char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

bool letterAtLevel(char letter, int level)
{
    switch (letter) {
    case 'C':
    case 'N':
    case 'D':
    case 'L':
    case 'M':
        return true;
    case 'F':
        return level >= 4;
    default:
        return false;
    }
}

bool sizeFits(char letter, int size, int decimals)
{
    switch (letter) {
    case 'C':
        return size >= 1 && size <= 255 && decimals == 0;
    case 'N':
    case 'F':
        return size >= 1 && size <= 20 && decimals >= 0 && (decimals == 0 || decimals <= size - 2);
    case 'D':
        return size == 8 && decimals == 0;
    case 'L':
        return size == 1 && decimals == 0;
    case 'M':
        return size == 10 && decimals == 0;
    default:
        return false;
    }
}

// The file's name without its folder, for messages.
std::string baseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool pathExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// A file written under a temporary name beside its target; removed again
// unless it was published.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target)
    {
        path_ = folderOf(target) + "/." + baseName(target) + ".new-XXXXXX";
        fd_ = ::mkstemp(path_.data());
        if (fd_ < 0)
            throw TableError(msg::cannotCreateFile(target, std::strerror(errno)));
    }
    ~TemporaryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }

    // Writes the bytes, makes them durable and closes the file.
    void write(const std::vector<uint8_t>& bytes, const std::string& target)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw TableError(msg::cannotCreateFile(target, n < 0 ? std::strerror(errno) : "Nothing written."));
            done += static_cast<size_t>(n);
        }
        // The mode a new file of the user gets (mkstemp makes it private).
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
        if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
            fd_ = -1;
            throw TableError(msg::cannotCreateFile(target, std::strerror(errno)));
        }
        fd_ = -1;
    }

    // Gives the file its real name, never replacing a file of that name.
    void publish(const std::string& target)
    {
        if (::link(path_.c_str(), target.c_str()) == 0) {
            ::unlink(path_.c_str());
            path_.clear();
            return;
        }
        const int error = errno;
        if (error == EEXIST)
            throw TableExistsError(msg::tableExists(target));
        if (error != EPERM && error != ENOTSUP && error != EOPNOTSUPP && error != EMLINK && error != ENOSYS)
            throw TableError(msg::cannotCreateFile(target, std::strerror(error)));
        // A file system without hard links: looked at, then renamed.
        if (pathExists(target))
            throw TableExistsError(msg::tableExists(target));
        if (::rename(path_.c_str(), target.c_str()) != 0)
            throw TableError(msg::cannotCreateFile(target, std::strerror(errno)));
        path_.clear();
    }

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace

HeaderDate HeaderDate::today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return HeaderDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

bool newTableHasMemo(const FieldDefs& defs)
{
    for (int i = 0; i < defs.count(); ++i)
        if (defs.item(i).isBlob())
            return true;
    return false;
}

void checkNewTable(const FieldDefs& defs, const NewTableOptions& options)
{
    const int level = options.tableLevel;
    if (level != 3 && level != 4 && level != 5)
        throw TableError(msg::cannotCreateLevel(level));
    if (defs.count() == 0)
        throw TableError(msg::kNoFields);
    if (defs.count() > kMaxFields)
        throw TableError(msg::invalidFieldCount(defs.count()));
    int recordLength = 1;
    std::vector<std::string> names;
    for (int i = 0; i < defs.count(); ++i) {
        const FieldDef& def = defs.item(i);
        if (!validName(def.fieldName()))
            throw TableError(msg::invalidFieldName(def.fieldName()));
        const std::string name = descriptorName(def.fieldName());
        for (const std::string& taken : names)
            if (taken == name)
                throw TableError(msg::duplicateFieldName(name));
        names.push_back(name);
        const char letter = def.nativeFieldType();
        if (!letterAtLevel(letter, level))
            throw TableError(msg::invalidFieldType(std::string(1, letter ? letter : '?'), def.fieldName()));
        if (!sizeFits(letter, def.size(), def.precision()))
            throw TableError(msg::invalidFieldSize(def.fieldName(), def.size(), def.precision()));
        recordLength += def.size();
    }
    if (recordLength > 0xFFFF)
        throw TableError(msg::recordTooLong(recordLength));
    const int headerLength = kHeaderSize + kDescriptorSize * defs.count() + 1;
    if (headerLength > 0xFFFF)
        throw TableError(msg::headerTooLong(headerLength));
    if (newTableHasMemo(defs)) {
        const int block = options.memoBlockSize;
        if (block < 64 || block > 32768 || block % 64 != 0)
            throw TableError(msg::invalidMemoBlockSize(block));
    }
}

std::vector<uint8_t> newTableBytes(const FieldDefs& defs, const NewTableOptions& options, HeaderDate date)
{
    checkNewTable(defs, options);
    const int count = defs.count();
    const int headerLength = kHeaderSize + kDescriptorSize * count + 1;
    std::vector<uint8_t> bytes(static_cast<size_t>(headerLength), 0);
    uint8_t* h = bytes.data();
    const bool memo = newTableHasMemo(defs);
    h[0] = memo ? (options.tableLevel == 3 ? 0x83 : 0x8B) : 0x03;
    h[1] = static_cast<uint8_t>(std::clamp(date.year - 1900, 0, 255));
    h[2] = static_cast<uint8_t>(date.month);
    h[3] = static_cast<uint8_t>(date.day);
    storeLE16(h + 8, static_cast<uint16_t>(headerLength));
    h[29] = options.tableLevel == 3 ? 0 : options.languageId;
    int recordLength = 1;
    for (int i = 0; i < count; ++i) {
        const FieldDef& def = defs.item(i);
        uint8_t* d = h + kHeaderSize + kDescriptorSize * i;
        const std::string name = descriptorName(def.fieldName());
        std::memcpy(d, name.data(), name.size());
        d[11] = static_cast<uint8_t>(def.nativeFieldType());
        d[16] = static_cast<uint8_t>(def.size());
        d[17] = static_cast<uint8_t>(def.precision());
        recordLength += def.size();
    }
    storeLE16(h + 10, static_cast<uint16_t>(recordLength));
    h[headerLength - 1] = 0x0D;
    return bytes;
}

std::vector<uint8_t> newMemoFileBytes(int blockSize)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(blockSize), 0);
    storeLE32(bytes.data(), 1);
    storeLE16(bytes.data() + 20, static_cast<uint16_t>(blockSize));
    return bytes;
}

std::string newMemoFilePath(const std::string& tablePath)
{
    const size_t slash = tablePath.find_last_of('/');
    const size_t dot = tablePath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExtension ? tablePath.substr(0, dot) : tablePath;
    const std::string ext = hasExtension ? tablePath.substr(dot) : std::string();
    const bool capitals = ext.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos &&
                          ext.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos;
    return stem + (capitals ? ".DBT" : ".dbt");
}

void createTable(const std::string& tablePath, const FieldDefs& defs, const NewTableOptions& options)
{
    const std::vector<uint8_t> table = newTableBytes(defs, options, HeaderDate::today());
    const bool memo = newTableHasMemo(defs);
    // A table already there is never replaced, nor a memo file that would be
    // found beside the new table (in any letter case).
    if (pathExists(tablePath))
        throw TableExistsError(msg::tableExists(tablePath));
    const std::string memoPath = newMemoFilePath(tablePath);
    if (memo && (pathExists(memoPath) || !TableFile::companionFile(tablePath, ".dbt").empty()))
        throw TableExistsError(msg::tableExists(memoPath));

    TemporaryFile tableFile(tablePath);
    tableFile.write(table, tablePath);
    if (!memo) {
        tableFile.publish(tablePath);
        return;
    }
    TemporaryFile memoFile(memoPath);
    memoFile.write(newMemoFileBytes(options.memoBlockSize), memoPath);
    memoFile.publish(memoPath);
    try {
        tableFile.publish(tablePath);
    } catch (...) {
        ::unlink(memoPath.c_str());   // published a moment ago by this call
        throw;
    }
}

} // namespace karto
