// Memo files from arbitrary bytes: the first byte chooses the format (.dbt of
// dBase III, .dbt of dBase IV, .fpt), the rest is the file. Values are read
// from the first blocks and from block numbers taken from the file itself,
// then a value is written and read back.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dbf/Error.h"
#include "dbf/memo/MemoFile.h"

using namespace karto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    std::vector<uint8_t> image(data + 1, data + size);
    std::unique_ptr<MemoFile> file;
    switch (data[0] % 3) {
    case 0:
        file = std::make_unique<DbaseMemoFile>(xBaseIII);
        break;
    case 1:
        file = std::make_unique<DbaseMemoFile>(xBaseIV);
        break;
    default:
        file = std::make_unique<FoxProMemoFile>(xFoxPro);
        break;
    }
    file->setMode(pfMemoryOpen);
    file->setStream(&image);
    try {
        file->open();
        std::vector<uint8_t> value;
        for (int32_t block = -1; block < 12; ++block)
            file->readMemo(block, value);
        // Block numbers as the file's own bytes would give them.
        for (size_t at = 0; at + 4 <= image.size() && at < 64; at += 4) {
            const int32_t le = static_cast<int32_t>(image[at] | (image[at + 1] << 8) | (image[at + 2] << 16)
                                                    | (static_cast<uint32_t>(image[at + 3]) << 24));
            file->readMemo(le, value);
            file->readMemo(le & 0xFFFF, value);
        }
        // Write: appended, then over itself.
        if (file->blockSize() > 0 && image.size() < (1u << 20)) {
            const std::vector<uint8_t> text(static_cast<size_t>(data[0]) * 3 + 1, 'w');
            int32_t block = 0;
            file->writeMemo(block, 0, text);
            file->readMemo(block, value);
            if (value.size() != text.size() && block > 0)
                __builtin_trap();
            int32_t again = block;
            file->writeMemo(again, static_cast<int32_t>(text.size()), std::vector<uint8_t>(3, 'x'));
        }
        file->close();
    } catch (const KartoError&) {
        // A memo file whose block size is 0 refuses writes; writes past the
        // memory stream's limit fail.
    }
    return 0;
}
