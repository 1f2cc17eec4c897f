// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What an edit of a value cannot do to a file that YAML reads: take away an
// anchor that an alias elsewhere uses; and, for each kind of line that cannot
// change, why, for a person.
#ifndef PLINTO_YAML_REFUSALS_H
#define PLINTO_YAML_REFUSALS_H

#include "valuelines.h"

namespace plinto {
namespace yaml {
namespace detail {

// Marks each entry line whose value (its own line and its value lines) holds
// an anchor that an alias outside it uses: AnchorUsed, with the alias's line.
void markAnchorsUsed(Bytes body, std::vector<ValueLines> &values);

// Why the line cannot change, for a person, naming the key and the lines;
// empty for a line that can.
std::string refusalText(const ValueLines &lines);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_REFUSALS_H
