// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// How a key and its items are written so that they read back as given: the
// texts an edit puts in a line, or why they cannot be written.
#ifndef PLINTO_YAML_WRITING_H
#define PLINTO_YAML_WRITING_H

#include "syntax.h"

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
// read something else and the quotes cost nothing. nullptr, or why the items
// cannot be written.
const char *valueText(const QStringList &items, bool list, std::string &value);

// The shortest text in C notation that reads back as the number, bit for
// bit ("0.1", "-0", "1e+300"), whatever the locale; "nan" for every NaN.
// nullptr, or why no text does.
const char *realText(double value, std::string &text);

// A line that an edit writes, from a key's bytes and a value.
std::string entryLine(const std::string &key, const std::string &value, Bytes lineEnd);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_WRITING_H
