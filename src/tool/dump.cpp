// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The dump line: a key, its items, and their numbers as a C++ stream prints them.
#include "dump.h"

#include <charconv>

namespace tarnwick {

void appendLatin1(std::string &out, const QString &text)
{
    const size_t at = out.size();
    out.resize(at + size_t(text.size()));
    char *dest = &out[at];
    for (const QChar c : text)
        *dest++ = c.unicode() > 0xff ? '?' : char(c.unicode());
}

void appendReal(std::string &out, double value)
{
    char text[32]; // "-2.22507e-308" at most
    out.append(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr);
}

void appendDumpLine(std::string &out, const QString &key, const QStringList &items)
{
    using plinto::yaml::Reader;
    appendLatin1(out, key);
    out += " : ";
    if (items.size() <= 1) { // a list is two or more items
        if (!items.isEmpty())
            appendLatin1(out, items.first());
        out += "  - as real ";
        appendReal(out, items.isEmpty() ? 0.0 : Reader::realFromText(items.first()));
    } else {
        out += "[ ";
        for (const QString &item : items) {
            appendLatin1(out, item);
            out += ' ';
        }
        out += "] - as real [ ";
        for (const QString &item : items) {
            appendReal(out, Reader::realFromText(item));
            out += ' ';
        }
        out += ']';
    }
    out += '\n';
}

} // namespace tarnwick
