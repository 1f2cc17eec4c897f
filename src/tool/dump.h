// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The tool's dump format: one line per key with its items and their numbers.
#ifndef TARNWICK_DUMP_H
#define TARNWICK_DUMP_H

#include <plinto/yaml.h>

#include <string>

namespace tarnwick {

// Appends the text as Latin-1 bytes ('?' for a character outside Latin-1).
void appendLatin1(std::string &out, const QString &text);

// Appends the number as a standard stream prints it by default: general
// notation, 6 significant digits, a point whatever the locale.
void appendReal(std::string &out, double value);

// Appends the dump line of a key and its items, as a Reader holds them,
// line feed included; the numbers are read as the Reader reads them:
//   key : text  - as real number
//   key : [ a b ] - as real [ x y ]
void appendDumpLine(std::string &out, const QString &key, const QStringList &items);

} // namespace tarnwick

#endif // TARNWICK_DUMP_H
