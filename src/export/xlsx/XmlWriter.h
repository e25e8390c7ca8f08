#pragma once
// XML text writing of the spreadsheet writers: escaping of text and
// attribute values, the OOXML string escape of shared strings and names,
// the escape of document properties, and a writer of elements into a byte
// buffer (no whitespace, attributes in the order given, childless elements
// as "<name .../>").

#include <initializer_list>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

namespace karto {

// Text of elements: "&" "<" ">" escaped. A character 0-8, 11, 12, 14-31,
// U+FFFE or U+FFFF raises XmlWriterInvalidString "\"%s\" is not a valid text.".
void appendXmlText(std::string& out, std::string_view text);
// Attribute values: also the quotation mark ("&quot;"), tab ("&#9;") and line
// breaks ("&#xA;"; CR LF counts as one break); same check.
void appendXmlAttribute(std::string& out, std::string_view value);
// Checks an element or attribute name ("\"%s\" is not a valid element
// name." / "\"%s\" is not a valid attribute name.").
void checkXmlName(std::string_view name, bool attribute);

// The OOXML string escape (shared strings, sheet names): characters 0-8, 11,
// 12, 14-31 as "_x00HH_"; a CR not followed by LF (and not last) as
// "_x000D_", any other CR as "&#13;" (written raw it would be read back as
// LF); "&" and "<" as entities; an underscore starting "_xHHHH_" as
// "_x005F_"; tab, LF, ">" and quotes unchanged.
void appendOoxmlEscaped(std::string& out, std::string_view text);
std::string ooxmlEscaped(std::string_view text);

// Document property values: & < > ' " CR LF as entities.
std::string escapeDocumentProperty(std::string_view text);

// Writes elements one after another into a buffer the caller owns.
class XmlWriter {
public:
    explicit XmlWriter(std::string& out) : out_(out) {}

    // <?xml version="1.0" encoding="utf-8" standalone="yes"?>
    void declaration();
    void startElement(std::string_view name);
    void attribute(std::string_view name, std::string_view value);
    void attribute(std::string_view name, long long value);
    // Adds text content (escaped).
    void text(std::string_view text);
    // Adds content as it stands.
    void raw(std::string_view text);
    // Closes the innermost element: "/>" when it has no content.
    void endElement();
    // Adds a childless element with the given attributes (name, value pairs).
    void emptyElement(std::string_view name,
                      std::initializer_list<std::pair<std::string_view, std::string_view>> attributes);

    int depth() const { return static_cast<int>(open_.size()); }

private:
    void closeStartTag();

    std::string& out_;
    std::vector<std::string> open_;
    bool startTagOpen_ = false;
};

} // namespace karto
