#include "dbf/expr/Tokenizer.h"

namespace karto::expr {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameChar(char c)
{
    return isNameStart(c) || isDigit(c);
}

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// Two characters that form one symbol token.
bool isPairSymbol(char a, char b)
{
    if ((a == '<' || a == '>' || a == '=') && (b == '<' || b == '=' || b == '>'))
        return true;
    if ((a == '!' || a == ':') && b == '=')
        return true;
    return (a == '&' && b == '&') || (a == '|' && b == '|');
}

} // namespace

std::string_view trimExpression(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<RawToken> tokenize(std::string_view text)
{
    std::vector<RawToken> tokens;
    const size_t n = text.size();
    size_t i = 0;
    while (true) {
        while (i < n && isBlank(text[i]))
            ++i;
        if (i >= n)
            break;
        const char c = text[i];
        const size_t start = i;
        if (c == '$' && i + 1 < n && isHexDigit(text[i + 1])) {
            ++i;
            while (i < n && isHexDigit(text[i]))
                ++i;
            tokens.push_back({TokenKind::HexInteger, std::string(text.substr(start + 1, i - start - 1))});
        } else if (isDigit(c) || (c == '.' && i + 1 < n && isDigit(text[i + 1]))) {
            bool point = false;
            while (i < n && isDigit(text[i]))
                ++i;
            if (i < n && text[i] == '.') {
                point = true;
                ++i;
                while (i < n && isDigit(text[i]))
                    ++i;
            }
            if (i < n && text[i] == 'e') {
                ++i;
                if (i < n && (text[i] == '+' || text[i] == '-'))
                    ++i;
                while (i < n && isDigit(text[i]))
                    ++i;
            }
            tokens.push_back({point ? TokenKind::Float : TokenKind::Integer, std::string(text.substr(start, i - start))});
        } else if (c == '"' || c == '\'') {
            std::string value;
            ++i;
            while (i < n) {
                if (text[i] == c) {
                    if (i + 1 < n && text[i + 1] == c) {
                        value.push_back(c);
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value.push_back(text[i++]);
            }
            tokens.push_back({TokenKind::String, std::move(value)});
        } else if (isNameStart(c) || c == '$') {
            ++i;
            while (i < n && isNameChar(text[i]))
                ++i;
            tokens.push_back({TokenKind::Name, std::string(text.substr(start, i - start))});
        } else if (i + 1 < n && isPairSymbol(c, text[i + 1])) {
            i += 2;
            tokens.push_back({TokenKind::Symbol, std::string(text.substr(start, 2))});
        } else {
            ++i;
            tokens.push_back({TokenKind::Symbol, std::string(1, c)});
        }
    }
    return tokens;
}

} // namespace karto::expr
