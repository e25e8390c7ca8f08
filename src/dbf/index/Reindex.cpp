#include "dbf/index/Reindex.h"

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

#include "dbf/Messages.h"
#include "dbf/index/IndexFile.h"
#include "dbf/table/TableFile.h"

namespace karto {

void reindexProductionIndex(const std::string& tablePath)
{
    TableFile table;
    table.setFileName(tablePath);
    table.setMode(pfExclusiveOpen);
    table.open();
    const std::string mdxPath = table.mdxFileName();
    if (mdxPath.empty() || table.dbfVersion() == xFoxPro)
        throw IndexError(msg::kNoProductionIndex);
    table.closeProductionIndex();
    const std::vector<IndexTagDefinition> tags = IndexFile::readTagDefinitions(mdxPath);

    const std::string temporary = mdxPath + ".reindex-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    {
        IndexFile index(table);
        index.setFileName(temporary);
        try {
            index.create(tags);
        } catch (...) {
            ::unlink(temporary.c_str());
            throw;
        }
    }
    struct stat old {};
    if (::stat(mdxPath.c_str(), &old) == 0)
        ::chmod(temporary.c_str(), old.st_mode & 07777);
    if (std::rename(temporary.c_str(), mdxPath.c_str()) != 0) {
        ::unlink(temporary.c_str());
        throw PagedFileError(msg::kWriteError);
    }
    table.setProductionIndexFlag();
    table.close();
}

} // namespace karto
