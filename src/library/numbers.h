// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Text to number: how an item reads as a double.
#ifndef PLINTO_YAML_NUMBERS_H
#define PLINTO_YAML_NUMBERS_H

#include <QString>

namespace plinto {
namespace yaml {
namespace detail {

// The text as QString::toDouble reads it, bit for bit; 0.0 when that fails
// (a word, "2,5", an empty text).
double toReal(const QString &text);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_NUMBERS_H
