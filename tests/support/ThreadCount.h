#pragma once
// The number of threads this process runs now (Linux: /proc/self/task), to
// see that work on other threads leaves none behind.

#include <dirent.h>

namespace karto::test {

inline int runningThreads()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                ++count;
        closedir(dir);
    }
    return count;
}

} // namespace karto::test
