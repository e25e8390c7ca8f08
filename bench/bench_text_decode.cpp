// Reading Czech text the way an export does: a million records of character
// values, each passed through the translate hook in place and appended to a
// reused UTF-8 buffer.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "convert/CodePageConverter.h"
#include "dbf/text/Windows1250.h"

int main()
{
    using namespace karto;
    using Clock = std::chrono::steady_clock;
    // Latin 2 values of a typical address table: ~10% accented letters.
    const char* samples[] = {
        "Nov\xA0k Jan", "Pra\x9F\xD8n\x85 ulice 12", "\x9F\xA0st obce \x9F. 4", "Brno",
        "Kv\xD8tinov\xA0 354/7", "\xA6\x98\xA0r nad S\xA0zavou", "Z\xA0ti\x9Aie", "1234567890",
    };
    const int records = 1'000'000;
    const int fieldsPerRecord = 8;
    CodePageConverter converter;
    converter.chooseCodePage(cpLatin2);

    std::string out;
    out.reserve(256);
    uint8_t buf[64];
    std::size_t bytesIn = 0, bytesOut = 0;
    const auto start = Clock::now();
    for (int r = 0; r < records; ++r) {
        for (int f = 0; f < fieldsPerRecord; ++f) {
            const char* value = samples[(r + f) & 7];
            const std::size_t n = std::strlen(value);
            std::memcpy(buf, value, n + 1);
            converter.translate(buf, buf, false);
            out.clear();
            appendWindows1250AsUtf8(out, reinterpret_cast<const char*>(buf), n);
            bytesIn += n;
            bytesOut += out.size();
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%d values, %zu bytes in, %zu bytes out: %.3f s (%.1f ns per value, %.0f MB/s)\n",
                records * fieldsPerRecord, bytesIn, bytesOut, seconds,
                seconds * 1e9 / (double(records) * fieldsPerRecord), bytesIn / seconds / 1e6);
    return 0;
}
