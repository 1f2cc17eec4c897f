// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// One line to a key and its items: the whole entry format, as functions over
// the line's bytes. Used by Reader::parse and by tarnwick-check.
#ifndef PLINTO_YAML_SYNTAX_H
#define PLINTO_YAML_SYNTAX_H

#include "lines.h"

#include <string>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

// A line's text: its bytes up to the first NUL, without the line feed that
// ended it (and a carriage return right before that line feed).
struct LineText
{
    Bytes text;
    bool lineFeed = false; // the text was ended by a line feed
    bool nul = false;      // the text was ended by a NUL byte
};
LineText lineText(Bytes line);

// One line read as an entry. Key and items point into the line, or into
// scratch where brackets or quotes were taken out; valid until the next read.
struct EntryLine
{
    Bytes key;
    std::vector<Bytes> items;
    std::string scratch;
};

// Reads a line (line feed included, as readLines hands it on) as an entry:
// true with its key and items, false for a line that is not an entry.
bool readEntry(Bytes line, EntryLine &entry);

// Why readEntry skips the line, in a few words; nullptr for an entry and for
// a line of white space alone.
const char *whySkipped(Bytes line);

// The key and the value of an entry line as they stand in it, before
// trimming; false for a line that is not an entry.
bool entryPieces(const LineText &line, Bytes &key, Bytes &value);

// Where YAML would start a comment in the text: the first '#' that follows
// white space, outside a scalar in quotes; npos when there is none. This
// format has no comments: such a '#' is text.
size_t commentStart(Bytes text);

// A list value: it starts with '[' and ends with ']'.
bool isList(Bytes value);

// The bytes without white space at either end.
Bytes trimmed(Bytes bytes);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_SYNTAX_H
