// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Refusals for YAML's sake: anchors found in a value and looked for as aliases
// in the rest of the file; the texts that say why a line cannot change.
#include "refusals.h"

#include "yamlline.h"

#include <algorithm>
#include <cstring>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

bool endsName(char c)
{
    return isBlank(c) || c == '\n' || c == ',' || c == '[' || c == ']' || c == '{' || c == '}';
}

// The first alias in the body, outside [from, to), of an anchor that the
// value there defines: its offset, and the anchor's name; npos where none.
size_t aliasOfAnchorIn(Bytes body, size_t from, size_t to, Bytes &name)
{
    const Bytes value = body.substr(from, to - from);
    for (size_t amp = value.find('&'); amp != Bytes::npos; amp = value.find('&', amp + 1)) {
        if (amp > 0 && !endsName(value[amp - 1]) && value[amp - 1] != ':')
            continue; // text, not an anchor
        size_t end = amp + 1;
        while (end < value.size() && !endsName(value[end]))
            ++end;
        name = value.substr(amp + 1, end - amp - 1);
        if (name.empty())
            continue;
        const std::string alias = '*' + std::string(name);
        for (size_t at = 0;;) {
            const void *hit = memmem(body.data() + at, body.size() - at, alias.data(), alias.size());
            if (!hit)
                break;
            const size_t star = size_t(static_cast<const char *>(hit) - body.data());
            const size_t after = star + alias.size();
            const bool whole = (after == body.size() || endsName(body[after]))
                    && (star == 0 || endsName(body[star - 1]) || body[star - 1] == ':');
            if (whole && (star < from || star >= to))
                return star;
            at = star + 1;
        }
    }
    return Bytes::npos;
}

std::string quotedKey(Bytes key)
{
    std::string text = "\"";
    text.append(key);
    return text + '"';
}

} // namespace

void markAnchorsUsed(Bytes body, std::vector<ValueLines> &values)
{
    // A value that goes takes its anchors along: an alias elsewhere would
    // lose what it names.
    for (ValueLines &value : values) {
        if (value.role != YamlRole::Key || value.comment)
            continue;
        const size_t colon = body.find(':', value.entry.start);
        const size_t star = aliasOfAnchorIn(body, colon + 1, value.end, value.otherKey);
        if (star != Bytes::npos) {
            value.role = YamlRole::AnchorUsed;
            value.otherLine = size_t(std::count(body.begin(), body.begin() + std::ptrdiff_t(star), '\n')) + 1;
        }
    }
}

std::string refusalText(const ValueLines &lines)
{
    const std::string key = quotedKey(lines.key);
    const std::string line = std::to_string(lines.line);
    switch (lines.role) {
    case YamlRole::Key:
        break;
    case YamlRole::SequenceItem:
        return "key " + key + " on line " + line
                + " is an item of a list to YAML, not a key: changing it would"
                  " break the file for YAML";
    case YamlRole::InsideValue:
        return "key " + key + " on line " + line + " is part of the value that line " + std::to_string(lines.otherLine)
                + " begins, to YAML: changing it would break the file for YAML";
    case YamlRole::AnchorUsed:
        return "the value of key " + key + " on line " + line + " holds the anchor &" + std::string(lines.otherKey)
                + ", which line " + std::to_string(lines.otherLine)
                + " uses: changing it would break the file for YAML";
    case YamlRole::OtherKeysInValue:
        return "the value of key " + key + " on line " + line + " goes on to line " + std::to_string(lines.lastLine)
                + " and holds other keys (" + quotedKey(lines.otherKey) + " on line " + std::to_string(lines.otherLine)
                + "): changing it would drop them, or break the file for YAML";
    }
    return std::string();
}

std::string refusalOf(const ValueLines &lines, const KeyEdit &edit)
{
    if (lines.role != YamlRole::Key)
        return refusalText(lines);
    if (!edit.dropLines && !lines.comment && lines.key == Bytes("<<"))
        return "key \"<<\" on line " + std::to_string(lines.line)
                + " merges mappings for YAML, which no value of this format is: setting it would break the file"
                  " for YAML";
    return std::string();
}

std::string yamlRefusal(const KeyLines &lines, const KeyEdit &edit)
{
    for (const ValueLines &line : lines.changing) {
        std::string why = refusalOf(line, edit);
        if (!why.empty())
            return why;
    }
    return std::string();
}

} // namespace detail
} // namespace yaml
} // namespace plinto
