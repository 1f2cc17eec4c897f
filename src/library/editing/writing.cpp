// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// How a key and its items are written: each text checked a character at a
// time, quoted where it must or may be, and the result read back with the
// format's own rules before it is taken.
#include "writing.h"

#include "reading/numbers.h"
#include "reading/texts.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// The text's Latin-1 bytes; nullptr, or the first character that a line
// cannot hold, as the reason.
const char *latin1Bytes(const QString &text, std::string &bytes, bool item, bool listItem)
{
    bytes.clear();
    bytes.reserve(size_t(text.size()));
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u > 0xff)
            return item ? "an item may hold only Latin-1 characters, a byte each"
                        : "a key may hold only Latin-1 characters, a byte each";
        switch (u) {
        case u':':
            return item ? "an item may not hold a colon" : "a key may not hold a colon";
        case u'\n':
            return item ? "an item may not hold a line feed" : "a key may not hold a line feed";
        case u'\0':
            return item ? "an item may not hold a NUL byte" : "a key may not hold a NUL byte";
        case u'"':
            if (item)
                return "an item may not hold a double quote";
            break;
        case u',':
            if (listItem)
                return "an item of a list may not hold a comma";
            break;
        case u'[':
        case u']':
            if (listItem)
                return "an item of a list may not hold a bracket";
            break;
        }
        bytes += char(u);
    }
    return nullptr;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// What a full YAML reader would read otherwise than the text, written as a
// plain scalar: an indicator where it starts, a comment, white space at an
// end, nothing at all; in a flow list also a flow indicator anywhere.
bool yamlReadsOtherwise(Bytes item, bool list)
{
    if (item.empty() || trimmed(item).size() != item.size())
        return true;
    const char first = item.front();
    if (first != '\0' && std::strchr(",[]{}#&*!|>'\"%@`", first) != nullptr)
        return true;
    if ((first == '-' || first == '?' || first == ':')
        && (item.size() == 1 || isBlank(item[1])
            || (list && item[1] != '\0' && std::strchr(",[]{}", item[1]) != nullptr)))
        return true;
    for (size_t i = 1; i < item.size(); ++i) {
        if ((item[i] == '#' && isBlank(item[i - 1]))
            || (item[i] == ':' && (i + 1 == item.size() || isBlank(item[i + 1]))))
            return true;
    }
    if (item.find('\t') != Bytes::npos) // a plain scalar ends there for some readers
        return true;
    // In a flow list, a brace ends a plain scalar, and so does a '?' for some
    // readers (those of YAML 1.1).
    return list && item.find_first_of("{}?") != Bytes::npos;
}

// A character that YAML does not take as it stands, quoted or not.
bool yamlRefusesCharacter(Bytes item)
{
    for (const char c : item) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == '\x7f')
            return true;
    }
    return false;
}

// Double quotes: where the format needs them (an empty item, white space at an
// end, a scalar that looks like a list), and where YAML would read something
// else, but for an item with a backslash, which YAML reads in them as an escape.
bool needsQuotes(Bytes item, bool list)
{
    if (item.empty() || trimmed(item).size() != item.size() || (!list && isList(item)))
        return true;
    return item.find('\\') == Bytes::npos && yamlReadsOtherwise(item, list);
}

// What YAML reads otherwise than the format in the item as written, for a
// person; empty when both read the same text.
std::string yamlNote(Bytes item, bool list)
{
    if (yamlRefusesCharacter(item))
        return "a control character, which YAML does not read as it stands";
    if (item.find('\\') != Bytes::npos && (needsQuotes(item, list) || yamlReadsOtherwise(item, list)))
        return "a backslash where YAML needs double quotes, in which a backslash starts an escape";
    return std::string();
}

void appendItem(std::string &value, Bytes item, bool list)
{
    const bool quoted = needsQuotes(item, list);
    if (quoted)
        value += '"';
    value.append(item);
    if (quoted)
        value += '"';
}

// The format's own reading of "k: value": exactly the items?
bool readsBackAs(const std::string &value, const std::vector<std::string> &items)
{
    const std::string line = "k: " + value + '\n';
    EntryLine entry;
    if (!readEntry(line, entry) || entry.items.size() != items.size())
        return false;
    for (size_t i = 0; i < items.size(); ++i) {
        if (entry.items[i] != Bytes(items[i]))
            return false;
    }
    return true;
}

} // namespace

const char *keyBytes(const QString &key, std::string &bytes)
{
    if (const char *why = latin1Bytes(key, bytes, false, false))
        return why;
    if (trimmed(bytes).size() != bytes.size())
        return "a key may not start or end with white space";
    return nullptr;
}

const char *valueText(const QStringList &items, bool list, std::string &value, std::string &note)
{
    std::vector<std::string> texts(size_t(items.size()));
    for (size_t i = 0; i < texts.size(); ++i) {
        if (const char *why = latin1Bytes(items.at(TextSize(i)), texts[i], true, list))
            return why;
    }
    note.clear();
    for (const std::string &text : texts) {
        const std::string why = yamlNote(text, list);
        if (!why.empty() && note.empty())
            note = "YAML reads the item " + text + " otherwise: it holds " + why;
    }
    value.clear();
    if (!list) {
        appendItem(value, texts.front(), false);
    } else {
        value += '[';
        for (size_t i = 0; i < texts.size(); ++i) {
            if (i > 0)
                value += ", ";
            appendItem(value, texts[i], true);
        }
        value += ']';
    }
    return readsBackAs(value, texts) ? nullptr : "the items cannot be written so that they read back";
}

const char *realText(double value, std::string &text)
{
    if (std::isnan(value)) {
        text = "nan"; // "-nan" is no number to the reader
        return nullptr;
    }
    char shortest[32];
    text.assign(shortest, std::to_chars(shortest, shortest + sizeof shortest, value).ptr);
    double read = 0;
    const bool same = readReal(QString::fromLatin1(text.data(), TextSize(text.size())), read)
            && std::memcmp(&read, &value, sizeof value) == 0;
    return same ? nullptr : "no text reads back as this number";
}

std::string yamlKeyNote(Bytes key)
{
    if (key.empty())
        return "its new line, \" : ...\", is no key to YAML: a YAML file would no longer load";
    if (key.front() == '#')
        return std::string(); // a comment line, which YAML ignores
    if (key == Bytes("<<"))
        return "its new line is a merge of mappings to YAML: a YAML file would no longer load";
    const bool quoted = key.size() >= 2 && (key.front() == '"' || key.front() == '\'') && key.back() == key.front()
            && key.substr(1, key.size() - 2).find_first_of(key.front() == '"' ? "\"\\" : "'") == Bytes::npos;
    if (quoted)
        return std::string();
    if (yamlReadsOtherwise(key, false) || key.substr(0, 3) == Bytes("---"))
        return "its new line is no such key to YAML (the key starts with an indicator, or holds a comment or a tab):"
               " a YAML file would no longer load";
    return std::string();
}

std::string entryLine(const std::string &key, const std::string &value, Bytes lineEnd)
{
    // A line that starts with its colon is no entry: the empty key stands
    // after a blank.
    std::string line = key.empty() ? std::string(" ") : key;
    line += ": ";
    line += value;
    line.append(lineEnd);
    return line;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
