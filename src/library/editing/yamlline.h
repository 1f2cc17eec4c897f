// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What one line says to YAML, before any context: blanks, where a comment
// starts, the colon that ends a plain key, where quotes close, a block
// scalar's header, a document marker.
#ifndef PLINTO_YAML_YAMLLINE_H
#define PLINTO_YAML_YAMLLINE_H

#include "bytescan.h"

#include <algorithm>

namespace plinto {
namespace yaml {
namespace detail {

// The first of the bytes C in the text from offset from on, or the text's
// size. The text is a line of a body that ends at end; the search may look
// past the line's end, up to its line feed.
template <char... C>
size_t findInLine(Bytes text, size_t from, const char *end)
{
    const char *found = findAny<C..., '\n'>(text.data() + from, end);
    return std::min(size_t(found - text.data()), text.size());
}

// A blank: a space, a tab, or a carriage return (before a line feed).
bool isBlank(char c);

// The text without blanks at its start.
Bytes leftTrimmed(Bytes text);

// Where a comment starts: a '#' after a blank, or at the start; npos where none does.
size_t commentAt(Bytes text);

// The colon that ends a plain key: followed by a blank or the end, before any
// comment; npos where there is none.
size_t plainKeyColon(Bytes text, const char *end);

// Where a scalar in quotes that starts the text closes on it; npos where it
// goes on over the line end.
size_t closingQuote(Bytes text);

// "|" or ">", indicators of chomping and indentation, then nothing but a comment.
bool isBlockScalarHeader(Bytes text);

// "---" or "..." at the margin, alone or before a blank.
bool isDocumentMarker(Bytes text);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_YAMLLINE_H
