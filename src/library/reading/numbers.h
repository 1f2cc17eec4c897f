// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Text to number: how an item reads as a double, a whole number, yes or no.
#ifndef PLINTO_YAML_NUMBERS_H
#define PLINTO_YAML_NUMBERS_H

#include <QString>

namespace plinto {
namespace yaml {
namespace detail {

// The text as QString::toDouble reads it, bit for bit; 0.0 when that fails
// (a word, "2,5", an empty text).
double toReal(const QString &text);

// The same reading: true, with the number in value, for text that is a
// number; false, leaving value alone, for text that is not.
bool readReal(const QString &text, double &value);

// A whole number: an optional sign and decimal digits, nothing else, within
// qint64. True with the number in value; false, leaving value alone, for any
// other text and on overflow.
bool readInteger(const QString &text, qint64 &value);

// Yes or no: "true", "True" or "TRUE", "false", "False" or "FALSE" (YAML
// 1.2's spellings). True with the answer in value; false, leaving value
// alone, for any other text.
bool readYesOrNo(const QString &text, bool &value);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_NUMBERS_H
