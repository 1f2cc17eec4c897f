// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// How a key and its items are written so that they read back as given: the
// texts an edit puts in a line, or why they cannot be written.
#ifndef PLINTO_YAML_WRITING_H
#define PLINTO_YAML_WRITING_H

#include "reading/syntax.h"

#include <QStringList>

#include <string>

namespace plinto {
namespace yaml {
namespace detail {

// The key's bytes, for a line that reads back as the key; nullptr, or why no
// line can (a colon, a line feed, a NUL byte, white space at an end, a
// character outside Latin-1).
const char *keyBytes(const QString &key, std::string &bytes);

// The value written after a key's colon, so that the line reads back as
// exactly these items: the one item (scalar form), or a bracketed list of
// any count. In double quotes where the format needs them (an empty item,
// white space at an end, a scalar that looks like a list) and where YAML would
// read something else (an indicator where it starts, a comment, in a list a
// brace), and nowhere else: numbers and plain words stay as they are.
// nullptr, or why the items cannot be written. note: what YAML reads
// otherwise all the same (a backslash, which would be an escape in the
// quotes that YAML needs; a control character); empty when nothing.
const char *valueText(const QStringList &items, bool list, std::string &value, std::string &note);

// The shortest text in C notation that reads back as the number, bit for
// bit ("0.1", "-0", "1e+300"), whatever the locale; "nan" for every NaN.
// nullptr, or why no text does.
const char *realText(double value, std::string &text);

// What YAML reads otherwise than this format in a new line of the key (one
// that starts with an indicator, the empty key, YAML's merge key), for a
// person; empty where YAML reads the key as it is (or ignores the line, a
// comment).
std::string yamlKeyNote(Bytes key);

// A line that an edit writes, from a key's bytes and a value.
std::string entryLine(const std::string &key, const std::string &value, Bytes lineEnd);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_WRITING_H
