#include "export/text/TemplateIni.h"

#include <fstream>
#include <sstream>

#include "dbf/text/Windows1250.h"

namespace karto {

namespace {

bool isBlank(unsigned char c) { return c <= 32; }

std::string trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && isBlank(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string rightTrim(const std::string& s)
{
    std::size_t e = s.size();
    while (e > 0 && isBlank(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(0, e);
}

std::string leftTrim(const std::string& s)
{
    std::size_t b = 0;
    while (b < s.size() && isBlank(static_cast<unsigned char>(s[b])))
        ++b;
    return s.substr(b);
}

// ASCII letter case is what section and key names need.
bool equalsIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

TemplateIni TemplateIni::load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

TemplateIni TemplateIni::parse(const std::string& raw)
{
    std::string text;
    if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text = raw.substr(3);
    else
        text = windows1250ToUtf8(raw);   // the system's 8-bit code page here

    TemplateIni ini;
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            ini.sections_.push_back({trim(line.substr(1, line.size() - 2)), {}});
            current = &ini.sections_.back();
            continue;
        }
        if (!current)
            continue;
        Line l;
        const auto eq = line.find('=');
        if (eq != std::string::npos) {
            l.keyed = true;
            l.key = rightTrim(line.substr(0, eq));
            l.value = leftTrim(line.substr(eq + 1));
        } else {
            l.value = line;
        }
        current->lines.push_back(std::move(l));
    }
    return ini;
}

const TemplateIni::Section* TemplateIni::find(const std::string& section) const
{
    for (const Section& s : sections_)
        if (equalsIgnoringCase(s.name, section))
            return &s;
    return nullptr;
}

std::vector<std::string> TemplateIni::sectionLines(const std::string& section) const
{
    std::vector<std::string> lines;
    if (const Section* s = find(section))
        for (const Line& l : s->lines)
            lines.push_back(l.keyed ? l.key + "=" + l.value : l.value);
    return lines;
}

std::string TemplateIni::value(const std::string& section, const std::string& key,
                               const std::string& defaultValue) const
{
    if (const Section* s = find(section))
        for (const Line& l : s->lines)
            if (l.keyed && equalsIgnoringCase(l.key, key))
                return l.value;
    return defaultValue;
}

} // namespace karto
