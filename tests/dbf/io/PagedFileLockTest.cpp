#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "support/DbfBuilder.h"
#include "dbf/io/PagedFile.h"

namespace karto {
namespace {

using test::TempDir;

// Whether a write lock on [offset, offset+length) would be refused for a
// separate open of the file (and so who holds the byte).
bool heldByOthers(const std::string& path, int64_t offset, int64_t length)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = length;
    const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

class PagedFileLock : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = dir_.write("locks.dbf", std::vector<uint8_t>(10 + 5 * 100, ' '));
        for (PagedFile* f : {&a_, &b_}) {
            f->setFileName(path_);
            f->setMode(pfReadWriteOpen);
            f->openFile();
            f->setHeaderSize(10);
            f->setRecordSize(100);
        }
    }

    TempDir dir_;
    std::string path_;
    PagedFile a_;   // two open file descriptions of one file, in one process
    PagedFile b_;
};

TEST_F(PagedFileLock, VirtualPageLockOffsets)
{
    ASSERT_TRUE(a_.needLocks());
    EXPECT_TRUE(a_.lockPage(5, false));
    EXPECT_TRUE(heldByOthers(path_, 0xEFFFFFF9, 1));
    EXPECT_FALSE(heldByOthers(path_, 0xEFFFFFF8, 1));
    EXPECT_FALSE(heldByOthers(path_, 0xEFFFFFFA, 1));
    a_.unlockPage(5);
    EXPECT_FALSE(heldByOthers(path_, 0xEFFFFFF9, 1));

    EXPECT_TRUE(a_.lockAllPages(false));
    EXPECT_TRUE(a_.fileLocked());
    EXPECT_TRUE(heldByOthers(path_, 0xEFFFFFFE, 2));
    EXPECT_FALSE(heldByOthers(path_, 0xB46535FE, 1000000000));   // the probe is not kept
    a_.unlockAllPages();
    EXPECT_FALSE(a_.fileLocked());
    EXPECT_FALSE(heldByOthers(path_, 0xEFFFFFFE, 2));
}

TEST_F(PagedFileLock, RecordLockRefusedAndWholeFileProbeFails)
{
    ASSERT_TRUE(a_.lockPage(3, false));
    EXPECT_FALSE(b_.lockPage(3, false));      // refused at once
    EXPECT_TRUE(b_.lockPage(4, false));       // another record is free
    b_.unlockPage(4);

    EXPECT_FALSE(b_.lockAllPages(false));     // a record lock is held elsewhere
    EXPECT_FALSE(b_.fileLocked());
    EXPECT_FALSE(heldByOthers(path_, 0xEFFFFFFE, 2));   // and it holds nothing

    a_.unlockPage(3);
    EXPECT_TRUE(b_.lockAllPages(false));
    EXPECT_FALSE(a_.lockAllPages(false));     // one whole-file holder at a time
    b_.unlockAllPages();
    EXPECT_TRUE(a_.lockAllPages(false));
}

TEST_F(PagedFileLock, OwnRecordLocksSurviveWholeFileLock)
{
    ASSERT_TRUE(a_.lockPage(2, false));
    ASSERT_TRUE(a_.lockAllPages(false));      // own record locks do not block it
    EXPECT_FALSE(b_.lockPage(2, false));      // ... and are not dropped by it
    a_.unlockAllPages();
    EXPECT_FALSE(b_.lockPage(2, false));
}

TEST_F(PagedFileLock, LocksSurviveClosingAnotherDescriptor)
{
    ASSERT_TRUE(a_.lockPage(1, false));
    {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ::close(fd);   // a classic POSIX lock would be gone now
    }
    b_.closeFile();
    EXPECT_TRUE(heldByOthers(path_, 0xEFFFFFFD, 1));
    PagedFile c;
    c.setFileName(path_);
    c.setMode(pfReadWriteOpen);
    c.openFile();
    EXPECT_FALSE(c.lockPage(1, false));
    a_.closeFile();   // closing the holder releases everything
    EXPECT_TRUE(c.lockPage(1, false));
}

TEST_F(PagedFileLock, WaitingLockGetsTheRangeWhenReleased)
{
    ASSERT_TRUE(a_.lockPage(2, false));
    a_.unlockPage(2);
    EXPECT_TRUE(b_.lockPage(2, true));
}

TEST_F(PagedFileLock, ReadOnlyOpenTakesReadLocks)
{
    PagedFile reader;
    reader.setFileName(path_);
    reader.setMode(pfReadOnly);
    reader.openFile();
    ASSERT_TRUE(reader.needLocks());
    EXPECT_TRUE(reader.lockAllPages(false));
    EXPECT_FALSE(a_.lockAllPages(false));     // a writer cannot take the file meanwhile
    reader.unlockAllPages();
    EXPECT_TRUE(a_.lockPage(7, false));
    EXPECT_FALSE(reader.lockAllPages(false)); // nor a reader while a record is locked
}

TEST(PagedFileLocks, ExclusiveFileNeedsNoLocks)
{
    TempDir dir;
    const std::string path = dir.write("x.dbf", std::vector<uint8_t>(100, 0));
    PagedFile f;
    f.setFileName(path);
    f.setMode(pfExclusiveOpen);
    f.openFile();
    EXPECT_FALSE(f.needLocks());
    EXPECT_TRUE(f.lockPage(1, false));
    EXPECT_FALSE(heldByOthers(path, 0xEFFFFFFD, 1));
}

} // namespace
} // namespace karto
