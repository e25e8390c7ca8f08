#include "export/xlsx/XmlWriter.h"

#include "export/workbook/WorkbookErrors.h"

namespace karto {

namespace {

bool isInvalidControl(unsigned char c)
{
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

// U+FFFE and U+FFFF in UTF-8: EF BF BE, EF BF BF.
bool isNonCharacterAt(std::string_view text, std::size_t i)
{
    return static_cast<unsigned char>(text[i]) == 0xEF && i + 2 < text.size() &&
           static_cast<unsigned char>(text[i + 1]) == 0xBF &&
           (static_cast<unsigned char>(text[i + 2]) == 0xBE || static_cast<unsigned char>(text[i + 2]) == 0xBF);
}

[[noreturn]] void invalid(std::string_view text, const char* what)
{
    throw XmlWriterInvalidString("\"" + std::string(text) + "\" is not a valid " + what + ".");
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

const char kHex[] = "0123456789ABCDEF";

} // namespace

void appendXmlText(std::string& out, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default:
            if (isInvalidControl(static_cast<unsigned char>(c)) || isNonCharacterAt(text, i))
                invalid(text, "text");
            out += c;
        }
    }
}

void appendXmlAttribute(std::string& out, std::string_view value)
{
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\t': out += "&#9;"; break;
        case '\r':
            out += "&#xA;";
            if (i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
            break;
        case '\n': out += "&#xA;"; break;
        default:
            if (isInvalidControl(static_cast<unsigned char>(c)) || isNonCharacterAt(value, i))
                invalid(value, "text");
            out += c;
        }
    }
}

void checkXmlName(std::string_view name, bool attribute)
{
    const char* what = attribute ? "attribute name" : "element name";
    if (name.empty())
        invalid(name, what);
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == ' ' || c == '<' || c == '>' || c == '&' || c == '"' || c == '\'' || c == '=' ||
            c == '/' || isNonCharacterAt(name, i))
            invalid(name, what);
    }
}

void appendOoxmlEscaped(std::string& out, std::string_view text)
{
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            // A raw CR would reach every reader as LF (XML end-of-line
            // handling): a character reference keeps it.
            if (i + 1 == n || text[i + 1] == '\n')
                out += "&#13;";
            else
                out += "_x000D_";
        } else if (c < 0x20 && c != '\t' && c != '\n') {
            out += "_x00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
            out += '_';
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '_' && i + 6 < n && text[i + 1] == 'x' && isHex(text[i + 2]) && isHex(text[i + 3]) &&
                   isHex(text[i + 4]) && isHex(text[i + 5]) && text[i + 6] == '_') {
            out += "_x005F_";
        } else {
            out += static_cast<char>(c);
        }
    }
}

std::string ooxmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    appendOoxmlEscaped(out, text);
    return out;
}

std::string escapeDocumentProperty(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\'': out += "&apos;"; break;
        case '"': out += "&quot;"; break;
        case '\r': out += "&#xD;"; break;
        case '\n': out += "&#xA;"; break;
        default: out += c;
        }
    }
    return out;
}

void XmlWriter::declaration()
{
    out_ += "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>";
}

void XmlWriter::closeStartTag()
{
    if (startTagOpen_) {
        out_ += '>';
        startTagOpen_ = false;
    }
}

void XmlWriter::startElement(std::string_view name)
{
    checkXmlName(name, false);
    closeStartTag();
    out_ += '<';
    out_ += name;
    open_.emplace_back(name);
    startTagOpen_ = true;
}

void XmlWriter::attribute(std::string_view name, std::string_view value)
{
    checkXmlName(name, true);
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    appendXmlAttribute(out_, value);
    out_ += '"';
}

void XmlWriter::attribute(std::string_view name, long long value)
{
    attribute(name, std::string_view(std::to_string(value)));
}

void XmlWriter::text(std::string_view text)
{
    closeStartTag();
    appendXmlText(out_, text);
}

void XmlWriter::raw(std::string_view text)
{
    closeStartTag();
    out_ += text;
}

void XmlWriter::endElement()
{
    if (open_.empty())
        return;
    if (startTagOpen_) {
        out_ += "/>";
        startTagOpen_ = false;
    } else {
        out_ += "</";
        out_ += open_.back();
        out_ += '>';
    }
    open_.pop_back();
}

void XmlWriter::emptyElement(std::string_view name,
                             std::initializer_list<std::pair<std::string_view, std::string_view>> attributes)
{
    startElement(name);
    for (const auto& [key, value] : attributes)
        attribute(key, value);
    endElement();
}

} // namespace karto
