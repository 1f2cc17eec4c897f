// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// How YAML reads an entry line and the lines after it: whether the line is a
// key for YAML at all, and which lines after it belong to its value. Found in
// one pass over the lines up to the last one asked about, without a store.
#ifndef PLINTO_YAML_VALUELINES_H
#define PLINTO_YAML_VALUELINES_H

#include "reading/keylines.h"

#include <string>
#include <utility>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

// What an entry line is to YAML.
enum class YamlRole {
    Key,              // a key, or a comment line, which YAML ignores: it can change
    SequenceItem,     // an item of a block sequence ("- port: 80", "- '5432:5432'")
    InsideValue,      // part of a value begun on an earlier line: a flow collection or a scalar
                      // in quotes not closed there, a block scalar, a plain scalar going on
    OtherKeysInValue, // its value lines hold entries of other keys (a nested mapping)
    AnchorUsed        // its value holds an anchor ("&name") that an alias elsewhere uses
};

// One entry line and its value lines.
struct ValueLines
{
    Bytes key;
    LineSpan entry;
    size_t line = 0; // its number, counted from 1 at the start of the body
    YamlRole role = YamlRole::Key;
    bool comment = false; // a comment line to YAML
    // Its value lines are [entry.end, end), the last of them numbered lastLine
    // (end is entry.end, lastLine line, where it has none).
    size_t end = 0;
    size_t lastLine = 0;
    // Value lines that stay where they are: comment lines that read as entries.
    std::vector<LineSpan> kept;
    // InsideValue: the line where that value begins. OtherKeysInValue: the
    // first value line that is another key's entry, and that key. AnchorUsed:
    // the line of an alias, and the anchor's name.
    size_t otherLine = 0;
    Bytes otherKey;
};

// A place where reading the body may begin instead of at its start: the
// start of a line after a line that opens nothing (where nothing is open),
// with that line and the number of lines before.
struct ReadFrom
{
    size_t start = 0;
    size_t lines = 0;
    LineSpan before = {0, 0}; // the line before, without its line feed; empty at the start
};

// For each entry line, in file order, with the key it is a line of: how YAML
// reads it. from, where given: begins there when no line asked about comes
// before it, and is moved on to the last such place passed.
std::vector<ValueLines> readValueLines(Bytes body, const std::vector<std::pair<LineSpan, Bytes>> &lines,
                                       ReadFrom *from = nullptr);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_VALUELINES_H
