#pragma once
// The HTML export's template file (Template.INI): an INI text with the
// sections BEGIN and END (lines of the page head and foot) and TABLE (the
// table's tags by key).

#include <string>
#include <utility>
#include <vector>

namespace karto {

class TemplateIni {
public:
    // A missing or unreadable file gives an empty template: every key takes
    // its default and BEGIN and END are empty.
    static TemplateIni load(const std::string& path);
    // Parses the text of a template (UTF-8, or Windows 1250 without a BOM).
    static TemplateIni parse(const std::string& text);

    // Every line of a section, a keyed line as key "=" value.
    std::vector<std::string> sectionLines(const std::string& section) const;
    // The value of the first line of the section with that key (letter case ignored).
    std::string value(const std::string& section, const std::string& key,
                      const std::string& defaultValue) const;

private:
    struct Line {
        bool keyed = false;
        std::string key;
        std::string value;   // the whole line when not keyed
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
    };
    const Section* find(const std::string& section) const;

    std::vector<Section> sections_;
};

} // namespace karto
