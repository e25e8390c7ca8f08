#include "dbf/text/EngineGlobals.h"

#include <unistd.h>

#include <algorithm>
#include <climits>

#include "dbf/text/CodePageConversion.h"
#include "dbf/text/LanguageDriver.h"

namespace karto {

namespace {

std::string computerName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    std::string s(name);
    if (s.size() > 16)
        s.resize(16);
    return s;
}

} // namespace

EngineGlobals::EngineGlobals(SystemCodePages system)
    : system_(system), userName_(computerName())
{
    for (int id = 0; id < 256; ++id) {
        const int cp = languageDriverToCodePage(id);
        if (cp != 0 && canConvertCodePage(cp))
            codePages_.push_back(cp);
    }
    for (int cp : {system_.ansiCodePage, system_.oemCodePage})
        if (canConvertCodePage(cp))
            codePages_.push_back(cp);
    std::sort(codePages_.begin(), codePages_.end());
    codePages_.erase(std::unique(codePages_.begin(), codePages_.end()), codePages_.end());
    defaultCreateLangId_ = codePageToLanguageDriver(system_.ansiCodePage, system_.userLocale);
}

bool EngineGlobals::codePageInstalled(int codePage) const
{
    return std::binary_search(codePages_.begin(), codePages_.end(), codePage);
}

int EngineGlobals::defaultCreateCodePage() const
{
    return languageDriverToCodePage(defaultCreateLangId_);
}

void EngineGlobals::setDefaultCreateCodePage(int codePage)
{
    defaultCreateLangId_ = codePageToLanguageDriver(codePage, system_.userLocale);
}

TranslationMode EngineGlobals::translationMode(int useCodePage) const
{
    if (useCodePage == system_.ansiCodePage)
        return tmNoneNeeded;
    if (useCodePage == system_.oemCodePage)
        return tmSimple;
    if (codePageInstalled(useCodePage))
        return tmAdvanced;
    return tmNoneAvailable;
}

int EngineGlobals::translate(int useCodePage, TranslationMode mode, const uint8_t* src,
                             uint8_t* dst, std::size_t dstCapacity, bool toOem) const
{
    if (!src || !dst || dstCapacity == 0)
        return 0;
    const int ansi = system_.ansiCodePage;
    const int table = (mode == tmNoneNeeded || useCodePage == 0) ? ansi : useCodePage;
    const int from = toOem ? ansi : table;
    const int to = toOem ? table : ansi;
    // Leave room for the terminating zero.
    const int n = convertCodePage(from, to, src, -1, dst, dstCapacity - 1);
    dst[n] = 0;
    return n;
}

EngineGlobals& engineGlobals()
{
    static EngineGlobals globals;
    return globals;
}

} // namespace karto
