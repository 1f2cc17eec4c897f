// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// How a key and its items are written: each text checked a character at a
// time, quoted where it must or may be, and the result read back with the
// format's own rules before it is taken.
#include "writing.h"

#include "numbers.h"
#include "texts.h"

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

// What a full YAML reader would read otherwise than the text: a comment ('#'
// at the start or after a blank), or an indicator where a plain scalar starts.
bool yamlReadsOtherwise(Bytes item)
{
    if (item.empty() || item.front() == '\0')
        return false;
    if (std::strchr(",[]{}#&*!|>'%@`", item.front()) != nullptr)
        return true;
    if ((item.front() == '-' || item.front() == '?') && (item.size() == 1 || trimmed(item.substr(1, 1)).empty()))
        return true;
    for (size_t hash = item.find('#'); hash != Bytes::npos; hash = item.find('#', hash + 1)) {
        if (trimmed(item.substr(hash - 1, 1)).empty())
            return true;
    }
    return false;
}

// Double quotes: always where the format needs them; for YAML's sake only
// where they cost nothing, since YAML reads a backslash in them as an escape.
bool needsQuotes(Bytes item, bool list)
{
    if (item.empty() || trimmed(item).size() != item.size() || (!list && isList(item)))
        return true;
    return item.find('\\') == Bytes::npos && yamlReadsOtherwise(item);
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

const char *valueText(const QStringList &items, bool list, std::string &value)
{
    std::vector<std::string> texts(size_t(items.size()));
    for (size_t i = 0; i < texts.size(); ++i) {
        if (const char *why = latin1Bytes(items.at(TextSize(i)), texts[i], true, list))
            return why;
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
