#include "export/workbook/TextMeasure.h"

#include <cmath>
#include <map>
#include <mutex>
#include <unordered_map>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace karto {

namespace {

// Em size in pixels of a point size at 96 pixels per inch, rounded as the
// platform's MulDiv rounds (half away from zero): 9 pt = 12 px, 10 pt = 13 px.
int pixelSize(int points)
{
    if (points <= 0)
        return 0;
    return (points * 96 + 36) / 72;
}

// 0.6 of the size for super- and subscript, halves to even.
int scriptSize(int size)
{
    return static_cast<int>(std::nearbyint(size * 0.6));
}

// Decodes one UTF-8 character at i (advancing i); invalid bytes give U+FFFD.
char32_t nextCodePoint(std::string_view text, std::size_t& i)
{
    const auto b0 = static_cast<unsigned char>(text[i++]);
    if (b0 < 0x80)
        return b0;
    int extra;
    char32_t cp;
    if ((b0 & 0xE0) == 0xC0) { extra = 1; cp = b0 & 0x1F; }
    else if ((b0 & 0xF0) == 0xE0) { extra = 2; cp = b0 & 0x0F; }
    else if ((b0 & 0xF8) == 0xF0) { extra = 3; cp = b0 & 0x07; }
    else return 0xFFFD;
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return cp;
}

class FontLibrary {
public:
    static FontLibrary& instance()
    {
        static FontLibrary library;
        return library;
    }

    std::mutex mutex;

    // Width of one line in pixels; call with mutex held.
    int lineWidth(const std::string& name, bool bold, bool italic, int pixels, std::string_view line)
    {
        Face* face = findFace(name, bold, italic);
        int width = 0;
        for (std::size_t i = 0; i < line.size();) {
            const char32_t cp = nextCodePoint(line, i);
            if (!face) {
                width += pixels / 2;
                continue;
            }
            width += advance(*face, pixels, cp);
        }
        return width;
    }

    bool hasLiberationSans()
    {
        std::string family;
        if (!config_)
            return false;
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Arial"));
        if (!pattern)
            return false;
        FcConfigSubstitute(config_, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result;
        FcPattern* match = FcFontMatch(config_, pattern, &result);
        if (match) {
            FcChar8* value = nullptr;
            if (FcPatternGetString(match, FC_FAMILY, 0, &value) == FcResultMatch && value)
                family = reinterpret_cast<const char*>(value);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
        return family == "Liberation Sans";
    }

private:
    struct Face {
        FT_Face face = nullptr;
        int currentPixels = -1;
        std::unordered_map<uint64_t, int> advances;  // (pixels << 32 | code point) -> advance
    };

    // A private fontconfig configuration, released with the library (the
    // process-wide default one is never freed).
    FontLibrary() : config_(FcInitLoadConfigAndFonts())
    {
        if (FT_Init_FreeType(&library_) != 0)
            library_ = nullptr;
    }

    ~FontLibrary()
    {
        for (auto& entry : byFile_)
            if (entry.second.face)
                FT_Done_Face(entry.second.face);
        if (library_)
            FT_Done_FreeType(library_);
        if (config_)
            FcConfigDestroy(config_);
    }

    Face* findFace(const std::string& name, bool bold, bool italic)
    {
        const std::string key = name + (bold ? "|b" : "|") + (italic ? "i" : "");
        auto known = byRequest_.find(key);
        if (known != byRequest_.end())
            return known->second;
        Face* face = nullptr;
        if (library_ && config_) {
            FcPattern* pattern = FcPatternCreate();
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
            FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
            FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
            FcConfigSubstitute(config_, pattern, FcMatchPattern);
            FcDefaultSubstitute(pattern);
            FcResult result;
            FcPattern* match = FcFontMatch(config_, pattern, &result);
            if (match) {
                FcChar8* file = nullptr;
                int index = 0;
                if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
                    FcPatternGetInteger(match, FC_INDEX, 0, &index);
                    const std::string fileKey = std::string(reinterpret_cast<const char*>(file)) + "#" +
                                                std::to_string(index);
                    auto loaded = byFile_.find(fileKey);
                    if (loaded != byFile_.end()) {
                        face = &loaded->second;
                    } else {
                        FT_Face ftFace = nullptr;
                        if (FT_New_Face(library_, reinterpret_cast<const char*>(file), index, &ftFace) == 0) {
                            face = &byFile_[fileKey];
                            face->face = ftFace;
                        }
                    }
                }
                FcPatternDestroy(match);
            }
            FcPatternDestroy(pattern);
        }
        byRequest_[key] = face;
        return face;
    }

    int advance(Face& face, int pixels, char32_t cp)
    {
        const uint64_t key = (static_cast<uint64_t>(pixels) << 32) | cp;
        auto known = face.advances.find(key);
        if (known != face.advances.end())
            return known->second;
        if (face.currentPixels != pixels) {
            FT_Set_Pixel_Sizes(face.face, 0, static_cast<FT_UInt>(pixels));
            face.currentPixels = pixels;
        }
        int width = 0;
        const FT_UInt glyph = FT_Get_Char_Index(face.face, cp);
        if (FT_Load_Glyph(face.face, glyph, FT_LOAD_DEFAULT) == 0)
            width = static_cast<int>((face.face->glyph->advance.x + 32) >> 6);
        face.advances.emplace(key, width);
        return width;
    }

    FcConfig* config_ = nullptr;
    FT_Library library_ = nullptr;
    std::map<std::string, Face> byFile_;
    std::unordered_map<std::string, Face*> byRequest_;
};

struct RowHeightEntry {
    const char* name;
    int heights[12];  // sizes 1-12
};

// Pixel heights of the fonts whose rows are known; other sizes and fonts
// fall back to size x 1.75.
constexpr RowHeightEntry kRowHeights[] = {
    {"Arial", {2, 4, 5, 6, 7, 10, 12, 14, 15, 16, 17, 18}},
    {"Calibri", {3, 4, 5, 6, 9, 10, 11, 13, 14, 15, 18, 19}},
    {"Tahoma", {2, 4, 5, 6, 8, 10, 11, 13, 14, 16, 18, 19}},
};

} // namespace

int textWidth(const ExportFont& font, std::string_view text)
{
    if (text.empty())
        return 0;
    int size = font.size();
    if (font.style().escapement == efeSuperscript || font.style().escapement == efeSubscript)
        size = scriptSize(size);
    const int pixels = pixelSize(size);
    if (pixels <= 0)
        return 0;
    FontLibrary& library = FontLibrary::instance();
    std::lock_guard<std::mutex> lock(library.mutex);
    int widest = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        const int width = library.lineWidth(font.name(), font.bold(), font.italic(), pixels,
                                            text.substr(start, end - start));
        if (width > widest)
            widest = width;
        if (end == text.size())
            break;
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return widest;
}

int characterWidth(const std::string& fontName, int size)
{
    static std::mutex cacheMutex;
    static std::unordered_map<std::string, int> cache;
    const std::string key = fontName + "::" + std::to_string(size);
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        auto found = cache.find(key);
        if (found != cache.end())
            return found->second;
    }
    ExportFont font;
    font.setName(fontName);
    font.setSize(size);
    const int width = textWidth(font, "0123456789") / 10;
    std::lock_guard<std::mutex> lock(cacheMutex);
    cache[key] = width;
    return width;
}

int fontRowHeight(const std::string& fontName, int size, bool subscript)
{
    int height = static_cast<int>(std::trunc(size * 1.75));
    if (size >= 1 && size <= 12)
        for (const RowHeightEntry& entry : kRowHeights)
            if (fontName == entry.name) {
                const int fromTable = static_cast<int>(std::trunc(entry.heights[size - 1] * 1.124));
                if (fromTable > height)
                    height = fromTable;
                break;
            }
    if (subscript)
        height = static_cast<int>(std::trunc(height * 1.25));
    return height;
}

int fontRowHeight(const ExportFont& font)
{
    return fontRowHeight(font.name(), font.size(), font.style().escapement == efeSubscript);
}

bool arialMetricsAvailable()
{
    FontLibrary& library = FontLibrary::instance();
    std::lock_guard<std::mutex> lock(library.mutex);
    return library.hasLiberationSans();
}

} // namespace karto
