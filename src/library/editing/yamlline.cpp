// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What one line says to YAML: each mark read off the line's bytes alone.
#include "yamlline.h"

namespace plinto {
namespace yaml {
namespace detail {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

Bytes leftTrimmed(Bytes text)
{
    size_t begin = 0;
    while (begin < text.size() && isBlank(text[begin]))
        ++begin;
    return text.substr(begin);
}

size_t commentAt(Bytes text)
{
    for (size_t hash = text.find('#'); hash != Bytes::npos; hash = text.find('#', hash + 1)) {
        if (hash == 0 || isBlank(text[hash - 1]))
            return hash;
    }
    return Bytes::npos;
}

size_t plainKeyColon(Bytes text, const char *end)
{
    for (size_t i = 0; (i = findInLine<':', '#'>(text, i, end)) < text.size(); ++i) {
        if (text[i] == '#' && i > 0 && isBlank(text[i - 1]))
            break; // a comment
        if (text[i] == ':' && (i + 1 == text.size() || isBlank(text[i + 1])))
            return i;
    }
    return Bytes::npos;
}

size_t closingQuote(Bytes text)
{
    const char quote = text[0];
    for (size_t i = 1; i < text.size(); ++i) {
        if (quote == '"' && text[i] == '\\')
            ++i;
        else if (text[i] == quote && quote == '\'' && i + 1 < text.size() && text[i + 1] == '\'')
            ++i;
        else if (text[i] == quote)
            return i;
    }
    return Bytes::npos;
}

bool isBlockScalarHeader(Bytes text)
{
    size_t i = 1;
    while (i < text.size() && i <= 2 && (text[i] == '+' || text[i] == '-' || (text[i] >= '1' && text[i] <= '9')))
        ++i;
    return i == text.size() || isBlank(text[i]);
}

bool isDocumentMarker(Bytes text)
{
    return (text.substr(0, 3) == Bytes("---") || text.substr(0, 3) == Bytes("..."))
            && (text.size() == 3 || isBlank(text[3]));
}

} // namespace detail
} // namespace yaml
} // namespace plinto
