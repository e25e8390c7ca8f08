#include "dbf/text/CodePageConversion.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "dbf/io/ByteOrder.h"

namespace karto {

namespace {

constexpr char32_t kUndefined = 0xFFFF'FFFF;

// Kamenický, bytes 0x80-0xFF: the Czech and Slovak letters, then the graphics
// and Greek of code page 437.
constexpr std::array<char16_t, 128> kKamenickyUnicode = {
    0x010C, 0x00FC, 0x00E9, 0x010F, 0x00E4, 0x010E, 0x0164, 0x010D,
    0x011B, 0x011A, 0x0139, 0x00CD, 0x013E, 0x013A, 0x00C4, 0x00C1,
    0x00C9, 0x017E, 0x017D, 0x00F4, 0x00F6, 0x00D3, 0x016F, 0x00DA,
    0x00FD, 0x00D6, 0x00DC, 0x0160, 0x013D, 0x00DD, 0x0158, 0x0165,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x0148, 0x0147, 0x016E, 0x00D4,
    0x0161, 0x0159, 0x0155, 0x0154, 0x00BC, 0x00A7, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

bool isKamenicky(int codePage)
{
    return codePage == 895 || codePage == 867;
}

bool isDoubleByte(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

std::string iconvName(int codePage)
{
    switch (codePage) {
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 10029: return "MAC-CENTRALEUROPE";
    default: return "CP" + std::to_string(codePage);
    }
}

// An iconv descriptor that closes itself.
class Iconv {
public:
    Iconv(const std::string& to, const std::string& from)
        : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Iconv() { if (ok()) iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Unicode of each byte of a single-byte code page, and the way back.
struct SingleByteTable {
    std::array<char32_t, 256> toUnicode{};
    std::map<char32_t, uint8_t> fromUnicode;
};

std::unique_ptr<SingleByteTable> buildSingleByteTable(int codePage)
{
    auto table = std::make_unique<SingleByteTable>();
    for (int b = 0; b < 128; ++b)
        table->toUnicode[b] = char32_t(b);
    if (isKamenicky(codePage)) {
        for (int i = 0; i < 128; ++i)
            table->toUnicode[128 + i] = kKamenickyUnicode[i];
    } else {
        Iconv cd("UTF-32LE", iconvName(codePage));
        if (!cd.ok())
            return nullptr;
        for (int b = 128; b < 256; ++b) {
            cd.reset();
            char in = static_cast<char>(b);
            unsigned char out[8] = {};
            char* inp = &in;
            char* outp = reinterpret_cast<char*>(out);
            std::size_t inLeft = 1, outLeft = sizeof out;
            const std::size_t r = iconv(cd.get(), &inp, &inLeft, &outp, &outLeft);
            if (r == static_cast<std::size_t>(-1) || inLeft != 0 || sizeof out - outLeft != 4)
                table->toUnicode[b] = kUndefined;
            else
                table->toUnicode[b] = loadLE32(out);
        }
    }
    for (int b = 255; b >= 0; --b)
        if (table->toUnicode[b] != kUndefined)
            table->fromUnicode[table->toUnicode[b]] = static_cast<uint8_t>(b);
    return table;
}

// The process-wide cache of code page tables and pair tables.
class Tables {
public:
    static Tables& instance()
    {
        static Tables tables;
        return tables;
    }

    // nullptr when the code page is not a single-byte page the engine knows.
    const SingleByteTable* singleByte(int codePage)
    {
        std::lock_guard lock(mutex_);
        return singleByteLocked(codePage);
    }

    // Byte-to-byte table between two single-byte code pages; nullptr when
    // either is unknown.
    const std::array<uint8_t, 256>* pair(int from, int to)
    {
        std::lock_guard lock(mutex_);
        auto key = std::make_pair(from, to);
        auto it = pairs_.find(key);
        if (it != pairs_.end())
            return it->second.get();
        const SingleByteTable* a = singleByteLocked(from);
        const SingleByteTable* b = singleByteLocked(to);
        if (!a || !b)
            return nullptr;
        auto map = std::make_unique<std::array<uint8_t, 256>>();
        for (int i = 0; i < 256; ++i) {
            auto found = b->fromUnicode.find(a->toUnicode[i]);
            (*map)[i] = found != b->fromUnicode.end() ? found->second : uint8_t('?');
        }
        return (pairs_[key] = std::move(map)).get();
    }

    bool doubleByteAvailable(int codePage)
    {
        std::lock_guard lock(mutex_);
        auto it = doubleByte_.find(codePage);
        if (it != doubleByte_.end())
            return it->second;
        Iconv cd("UTF-32LE", iconvName(codePage));
        return doubleByte_[codePage] = cd.ok();
    }

private:
    const SingleByteTable* singleByteLocked(int codePage)
    {
        if (codePage <= 0 || isDoubleByte(codePage))
            return nullptr;
        auto it = singleByte_.find(codePage);
        if (it == singleByte_.end())
            it = singleByte_.emplace(codePage, buildSingleByteTable(codePage)).first;
        return it->second.get();
    }

    std::mutex mutex_;
    std::map<int, std::unique_ptr<SingleByteTable>> singleByte_;
    std::map<std::pair<int, int>, std::unique_ptr<std::array<uint8_t, 256>>> pairs_;
    std::map<int, bool> doubleByte_;
};

// Decodes into Unicode; undefined bytes become kUndefined.
std::vector<char32_t> decode(int codePage, const uint8_t* src, std::size_t length)
{
    std::vector<char32_t> text;
    if (const SingleByteTable* t = Tables::instance().singleByte(codePage)) {
        text.reserve(length);
        for (std::size_t i = 0; i < length; ++i)
            text.push_back(t->toUnicode[src[i]]);
        return text;
    }
    Iconv cd("UTF-32LE", iconvName(codePage));
    if (!cd.ok())
        return text;
    std::vector<unsigned char> out(4 * length + 4);
    char* inp = const_cast<char*>(reinterpret_cast<const char*>(src));
    std::size_t inLeft = length;
    while (inLeft > 0) {
        char* outp = reinterpret_cast<char*>(out.data());
        std::size_t outLeft = out.size();
        const std::size_t r = iconv(cd.get(), &inp, &inLeft, &outp, &outLeft);
        const std::size_t produced = (out.size() - outLeft) / 4;
        for (std::size_t k = 0; k < produced; ++k)
            text.push_back(loadLE32(out.data() + 4 * k));
        if (r == static_cast<std::size_t>(-1) && inLeft > 0) {
            // A malformed or truncated sequence: one undefined character for
            // its first byte, then go on.
            text.push_back(kUndefined);
            ++inp;
            --inLeft;
            cd.reset();
        }
    }
    return text;
}

// Encodes Unicode into at most `capacity` bytes of `dst`; returns the length.
std::size_t encode(int codePage, const std::vector<char32_t>& text, uint8_t* dst, std::size_t capacity)
{
    std::size_t written = 0;
    if (const SingleByteTable* t = Tables::instance().singleByte(codePage)) {
        for (char32_t c : text) {
            if (written == capacity)
                break;
            auto found = t->fromUnicode.find(c);
            dst[written++] = found != t->fromUnicode.end() ? found->second : uint8_t('?');
        }
        return written;
    }
    Iconv cd(iconvName(codePage), "UTF-32LE");
    if (!cd.ok())
        return 0;
    for (char32_t c : text) {
        unsigned char in[4];
        storeLE32(in, c);
        unsigned char out[8];
        char* inp = reinterpret_cast<char*>(in);
        char* outp = reinterpret_cast<char*>(out);
        std::size_t inLeft = sizeof in, outLeft = sizeof out;
        std::size_t r = static_cast<std::size_t>(-1);
        if (c != kUndefined)
            r = iconv(cd.get(), &inp, &inLeft, &outp, &outLeft);
        std::size_t n = sizeof out - outLeft;
        if (r == static_cast<std::size_t>(-1) || inLeft != 0) {
            cd.reset();
            out[0] = '?';
            n = 1;
        }
        if (written + n > capacity)
            break;
        std::memcpy(dst + written, out, n);
        written += n;
    }
    return written;
}

} // namespace

bool canConvertCodePage(int codePage)
{
    if (codePage <= 0)
        return false;
    if (isDoubleByte(codePage))
        return Tables::instance().doubleByteAvailable(codePage);
    return Tables::instance().singleByte(codePage) != nullptr;
}

int convertCodePage(int fromCodePage, int toCodePage, const uint8_t* src, int length,
                    uint8_t* dst, std::size_t dstCapacity)
{
    if (!src || !dst)
        return 0;
    std::size_t n = length < 0 ? std::strlen(reinterpret_cast<const char*>(src))
                               : static_cast<std::size_t>(length);
    const bool convertible = fromCodePage != toCodePage && canConvertCodePage(fromCodePage) &&
                             canConvertCodePage(toCodePage);
    if (!convertible) {
        n = std::min(n, dstCapacity);
        if (dst != src)
            std::memmove(dst, src, n);
        return static_cast<int>(n);
    }
    if (const auto* map = Tables::instance().pair(fromCodePage, toCodePage)) {
        n = std::min(n, dstCapacity);
        for (std::size_t i = 0; i < n; ++i)
            dst[i] = (*map)[src[i]];
        return static_cast<int>(n);
    }
    const std::vector<char32_t> text = decode(fromCodePage, src, n);
    // Encode into a scratch buffer first: dst may be src, and a double-byte
    // result may be longer than the source.
    std::vector<uint8_t> out(std::max<std::size_t>(1, std::min(dstCapacity, 4 * text.size() + 4)));
    const std::size_t written = encode(toCodePage, text, out.data(), std::min(dstCapacity, out.size()));
    std::memcpy(dst, out.data(), written);
    return static_cast<int>(written);
}

} // namespace karto
