#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace karto {

// How a table's text relates to the system's ANSI code page, decided when the
// table opens from its code page.
enum TranslationMode {
    tmNoneNeeded,     // the table is in the ANSI code page
    tmSimple,         // the table is in the OEM code page
    tmAdvanced,       // another code page the engine can convert
    tmNoneAvailable,  // a code page the engine cannot convert: read-only
};

// The system as the engine sees it. The program lives in a Czech Windows 1250
// world whatever the machine it runs on: ANSI 1250, OEM 852, Czech locale.
struct SystemCodePages {
    int ansiCodePage = 1250;
    int oemCodePage = 852;
    uint32_t userLocale = 0x0405;
};

// Engine-wide settings, one instance for the whole run (engineGlobals()).
class EngineGlobals {
public:
    // The code pages considered installed: every code page of the language
    // driver catalogue that the engine can convert (Kamenický included).
    explicit EngineGlobals(SystemCodePages system = {});

    int ansiCodePage() const { return system_.ansiCodePage; }
    int oemCodePage() const { return system_.oemCodePage; }
    uint32_t userLocale() const { return system_.userLocale; }

    // Installed code pages, ascending.
    const std::vector<int>& codePages() const { return codePages_; }
    bool codePageInstalled(int codePage) const;

    // The code page of a table whose language driver names none.
    int defaultOpenCodePage() const { return system_.ansiCodePage; }

    // Language driver id for new tables and tables without one; at start the
    // id for the ANSI code page and the user's locale (0xC8 for Czech 1250).
    int defaultCreateLangId() const { return defaultCreateLangId_; }
    void setDefaultCreateLangId(int id) { defaultCreateLangId_ = id; }
    // The code page of defaultCreateLangId(); setting it takes the id for the
    // code page and the user's locale.
    int defaultCreateCodePage() const;
    void setDefaultCreateCodePage(int codePage);

    bool currencyAsBCD() const { return true; }

    // The computer name (at most 16 characters), written into lock stamps.
    const std::string& userName() const { return userName_; }
    int userNameLen() const { return static_cast<int>(userName_.size()); }

    // The translation mode for a table's code page: the ANSI code page ->
    // tmNoneNeeded, the OEM code page -> tmSimple, an installed one ->
    // tmAdvanced, otherwise tmNoneAvailable.
    TranslationMode translationMode(int useCodePage) const;

    // The engine's own translation of a table's text, used when no translate
    // hook is installed: towards the file (toOem) from the ANSI code page to
    // `useCodePage`, otherwise back; tmNoneNeeded and a code page of 0 mean
    // the ANSI code page. Converts the zero-terminated `src` into `dst` (which
    // may be `src`), writing at most `dstCapacity` bytes, and returns the
    // length written; dst is zero-terminated when there is room.
    int translate(int useCodePage, TranslationMode mode, const uint8_t* src, uint8_t* dst,
                  std::size_t dstCapacity, bool toOem) const;

private:
    SystemCodePages system_;
    std::vector<int> codePages_;
    int defaultCreateLangId_ = 0;
    std::string userName_;
};

// The process-wide instance, created on first use.
EngineGlobals& engineGlobals();

} // namespace karto
