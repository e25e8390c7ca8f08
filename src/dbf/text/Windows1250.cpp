#include "dbf/text/Windows1250.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace karto {

namespace {

// Unicode of the bytes 0x80-0xFF.
constexpr std::array<char16_t, 128> kWin1250Unicode = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// UTF-8 of one upper-half byte: 2 or 3 bytes.
struct Utf8Form {
    uint8_t length;
    char bytes[3];
};

constexpr std::array<Utf8Form, 128> makeUtf8Forms()
{
    std::array<Utf8Form, 128> forms{};
    for (int i = 0; i < 128; ++i) {
        const char32_t c = kWin1250Unicode[i];
        Utf8Form& f = forms[i];
        if (c < 0x800) {
            f.length = 2;
            f.bytes[0] = static_cast<char>(0xC0 | (c >> 6));
            f.bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            f.length = 3;
            f.bytes[0] = static_cast<char>(0xE0 | (c >> 12));
            f.bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            f.bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return forms;
}
constexpr std::array<Utf8Form, 128> kUtf8Forms = makeUtf8Forms();

// Bytes a Windows 1250 byte adds beyond one when written as UTF-8.
constexpr std::array<uint8_t, 256> makeExtraLengths()
{
    std::array<uint8_t, 256> extra{};
    for (int i = 0; i < 128; ++i)
        extra[128 + i] = static_cast<uint8_t>(kUtf8Forms[i].length - 1);
    return extra;
}
constexpr std::array<uint8_t, 256> kExtraLengths = makeExtraLengths();

// Reverse map: a direct table for U+0080-U+017F (where most letters are) and a
// sorted list for the rest.
constexpr char32_t kDirectEnd = 0x180;

constexpr std::array<uint8_t, kDirectEnd - 0x80> makeDirect()
{
    std::array<uint8_t, kDirectEnd - 0x80> direct{};
    for (int i = 0; i < 128; ++i)
        if (kWin1250Unicode[i] >= 0x80 && kWin1250Unicode[i] < kDirectEnd)
            direct[kWin1250Unicode[i] - 0x80] = static_cast<uint8_t>(0x80 + i);
    return direct;
}
constexpr auto kDirect = makeDirect();

struct FarEntry {
    char16_t ch;
    uint8_t byte;
};

constexpr int countFar()
{
    int n = 0;
    for (char16_t c : kWin1250Unicode)
        if (c >= kDirectEnd)
            ++n;
    return n;
}

constexpr std::array<FarEntry, countFar()> makeFar()
{
    std::array<FarEntry, countFar()> far{};
    int n = 0;
    for (int i = 0; i < 128; ++i)
        if (kWin1250Unicode[i] >= kDirectEnd)
            far[n++] = {kWin1250Unicode[i], static_cast<uint8_t>(0x80 + i)};
    // Insertion sort by character (constexpr-friendly).
    for (int i = 1; i < n; ++i)
        for (int j = i; j > 0 && far[j].ch < far[j - 1].ch; --j) {
            FarEntry t = far[j];
            far[j] = far[j - 1];
            far[j - 1] = t;
        }
    return far;
}
constexpr auto kFar = makeFar();

} // namespace

char32_t windows1250ToUnicode(uint8_t byte)
{
    return byte < 0x80 ? char32_t(byte) : char32_t(kWin1250Unicode[byte - 0x80]);
}

bool unicodeToWindows1250(char32_t ch, uint8_t& byte)
{
    if (ch < 0x80) {
        byte = static_cast<uint8_t>(ch);
        return true;
    }
    if (ch < kDirectEnd) {
        byte = kDirect[ch - 0x80];
        return byte != 0;
    }
    if (ch > 0xFFFF)
        return false;
    auto it = std::lower_bound(kFar.begin(), kFar.end(), ch,
                               [](const FarEntry& e, char32_t c) { return e.ch < c; });
    if (it == kFar.end() || it->ch != ch)
        return false;
    byte = it->byte;
    return true;
}

void appendWindows1250AsUtf8(std::string& out, const char* data, std::size_t length)
{
    if (length == 0)
        return;
    const auto* in = reinterpret_cast<const uint8_t*>(data);
    std::size_t extra = 0;
    for (std::size_t i = 0; i < length; ++i)
        extra += kExtraLengths[in[i]];
    const std::size_t old = out.size();
    if (extra == 0) {
        out.append(data, length);
        return;
    }
    out.resize(old + length + extra);
    char* p = out.data() + old;
    for (std::size_t i = 0; i < length; ++i) {
        const uint8_t b = in[i];
        if (b < 0x80) {
            *p++ = static_cast<char>(b);
        } else {
            const Utf8Form& f = kUtf8Forms[b - 0x80];
            p[0] = f.bytes[0];
            p[1] = f.bytes[1];
            if (f.length == 3)
                p[2] = f.bytes[2];
            p += f.length;
        }
    }
}

std::string windows1250ToUtf8(std::string_view bytes)
{
    std::string out;
    appendWindows1250AsUtf8(out, bytes.data(), bytes.size());
    return out;
}

void appendUtf8AsWindows1250(std::string& out, std::string_view utf8, char replacement)
{
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    const std::size_t n = utf8.size();
    out.reserve(out.size() + n);
    std::size_t i = 0;
    while (i < n) {
        const uint8_t b0 = s[i];
        if (b0 < 0x80) {
            out.push_back(static_cast<char>(b0));
            ++i;
            continue;
        }
        // Decode one sequence; a malformed one yields one replacement per byte
        // of its start.
        char32_t ch = 0;
        std::size_t len = 0;
        char32_t min = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2; ch = b0 & 0x1F; min = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3; ch = b0 & 0x0F; min = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4; ch = b0 & 0x07; min = 0x10000;
        }
        bool ok = len != 0 && i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                ch = (ch << 6) | (s[i + k] & 0x3F);
        }
        if (ok && (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)))
            ok = false;
        if (!ok) {
            out.push_back(replacement);
            ++i;
            continue;
        }
        uint8_t byte;
        out.push_back(unicodeToWindows1250(ch, byte) ? static_cast<char>(byte) : replacement);
        i += len;
    }
}

std::string utf8ToWindows1250(std::string_view utf8, char replacement)
{
    std::string out;
    appendUtf8AsWindows1250(out, utf8, replacement);
    return out;
}

} // namespace karto
