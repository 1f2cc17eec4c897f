// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What an edit of a value cannot do to a file that YAML reads: change a line
// that is no key to YAML, take away an anchor that an alias elsewhere uses,
// set the merge key; and why, for a person.
#ifndef PLINTO_YAML_REFUSALS_H
#define PLINTO_YAML_REFUSALS_H

#include "edits.h"
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

// Why the key's edit cannot be made so that programs that read the file as
// YAML keep it: a line it changes is no key to YAML, its value goes on over
// lines that hold other keys or holds an anchor used elsewhere, or it sets
// YAML's merge key. Empty where it can.
std::string yamlRefusal(const KeyLines &lines, const KeyEdit &edit);

// The same for one line that the edit changes.
std::string refusalOf(const ValueLines &lines, const KeyEdit &edit);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_REFUSALS_H
