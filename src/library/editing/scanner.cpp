// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The scanner, a line at a time: what is open (a flow collection, quotes, a
// block scalar, a plain scalar) decides where a line stands; a line that
// stands on its own is read as a node, its value opening what the next lines
// are in.
#include "scanner.h"

#include "yamlline.h"

#include <cstring>

namespace plinto {
namespace yaml {
namespace detail {

void Scanner::pass(Bytes text, size_t number)
{
    // A line at the margin ends a block scalar or a plain scalar before it.
    m_blockParent = noColumn;
    m_plainParent = noColumn;
    m_passed = text;
    m_passedNumber = number;
}

LineInfo Scanner::next(Bytes text, size_t number)
{
    if (!m_passed.empty()) {
        // What the line passed over began matters to an indented line.
        const Bytes passed = m_passed;
        m_passed = Bytes();
        if (!text.empty() && isBlank(text[0]))
            next(passed, m_passedNumber);
    }
    LineInfo info;
    while (info.indent < text.size() && text[info.indent] == ' ')
        ++info.indent;
    const Bytes rest = text.substr(info.indent);
    const Bytes content = leftTrimmed(rest);
    info.blank = content.empty();
    info.comment = !info.blank && content[0] == '#';
    if (isOpen()) {
        info.context = m_quote == 0 && info.comment ? Context::InOpenComment : Context::InOpen;
        info.openedLine = m_openedLine;
        flow(rest, 0);
        return info;
    }
    if (m_blockParent != noColumn) {
        if (info.blank || info.indent > m_blockParent) {
            info.context = Context::InBlockScalar;
            info.openedLine = m_openedLine;
            return info;
        }
        m_blockParent = noColumn;
    }
    if (m_plainParent != noColumn && !info.blank) {
        if (!info.comment && info.indent > m_plainParent && plainGoesOn()) {
            info.context = Context::InPlain;
            info.openedLine = m_openedLine;
            return info;
        }
        m_plainParent = noColumn; // a comment ends a plain scalar too
    }
    if (info.blank || info.comment || (info.indent == 0 && isDocumentMarker(rest)))
        return info;
    m_number = number;
    node(content, info.indent + (rest.size() - content.size()), info);
    return info;
}

// A node in block context, at the column where the text starts.
void Scanner::node(Bytes text, size_t column, LineInfo &info)
{
    size_t dash = noColumn; // the column of the innermost "- "
    while (!text.empty() && text[0] == '-' && (text.size() == 1 || isBlank(text[1]))) {
        info.sequenceItem = true;
        dash = column;
        const Bytes item = leftTrimmed(text.substr(1));
        column += text.size() - item.size();
        text = item;
    }
    const size_t parent = dash != noColumn ? dash : column;
    if (text.empty()) { // "-" alone: the item is on the lines below
        value(text, parent, info);
        return;
    }
    switch (text[0]) {
    case '"':
    case '\'': {
        const size_t close = closingQuote(text);
        const Bytes after = close == Bytes::npos ? Bytes() : leftTrimmed(text.substr(close + 1));
        if (!after.empty() && after[0] == ':' && (after.size() == 1 || isBlank(after[1])))
            value(leftTrimmed(after.substr(1)), column, info); // a key in quotes
        else
            value(text, parent, info);
        return;
    }
    case '[':
    case '{':
    case '|':
    case '>':
    case '&':
    case '!':
    case '*':
    case '?':
        value(text, parent, info); // no plain key starts so
        return;
    }
    const size_t colon = plainKeyColon(text, m_end);
    if (colon != Bytes::npos)
        value(leftTrimmed(text.substr(colon + 1)), column, info);
    else
        value(text, parent, info);
}

// The value node that starts the text; its lines go beyond the parent column.
void Scanner::value(Bytes text, size_t parent, LineInfo &info)
{
    while (!text.empty() && (text[0] == '&' || text[0] == '!')) { // an anchor or a tag before the node
        size_t end = 0;
        while (end < text.size() && !isBlank(text[end]))
            ++end;
        text = leftTrimmed(text.substr(end));
    }
    info.parent = parent;
    if (text.empty() || text[0] == '#') {
        info.carries = Carries::Nested;
        return;
    }
    switch (text[0]) {
    case '|':
    case '>':
        if (!isBlockScalarHeader(text))
            break;
        m_blockParent = parent;
        m_openedLine = m_number;
        info.carries = Carries::BlockScalar;
        return;
    case '"':
    case '\'':
        m_quote = text[0];
        flow(text, 1);
        if (isOpen()) {
            m_openedLine = m_number;
            info.carries = Carries::Open;
        }
        return;
    case '[':
    case '{':
        flow(text, 0);
        if (isOpen()) {
            m_openedLine = m_number;
            info.carries = Carries::Open;
        }
        return;
    case '*':
        return; // an alias is whole
    }
    m_plainParent = parent;
    m_plainValue = text;
    m_openedLine = m_number;
    info.carries = Carries::Plain;
}

bool Scanner::plainGoesOn() const
{
    return commentAt(m_plainValue) == Bytes::npos;
}

// Follows a flow collection, or a scalar in quotes, along the text from where
// it stands: brackets and quotes counted, a comment skipped, up to the close.
void Scanner::flow(Bytes text, size_t i)
{
    const size_t size = text.size();
    while (i < size) {
        if (m_quote != 0) {
            for (; i < size && text[i] != m_quote; ++i) {
                if (m_quote == '"' && text[i] == '\\')
                    ++i;
            }
            if (i >= size)
                return; // it goes on over the line end
            if (m_quote == '\'' && i + 1 < size && text[i + 1] == '\'') {
                i += 2; // a quote in single quotes
                continue;
            }
            m_quote = 0;
            if (m_depth == 0)
                return;
            ++i;
            continue;
        }
        i = findInLine<'"', '\'', '[', ']', '{', '}', '#'>(text, i, m_end);
        if (i == size)
            return;
        switch (text[i]) {
        case '[':
        case '{':
            ++m_depth;
            break;
        case ']':
        case '}':
            if (m_depth > 0 && --m_depth == 0)
                return;
            break;
        case '#':
            if (i == 0 || isBlank(text[i - 1]))
                return; // a comment, to the line's end
            break;
        default: { // a quote opens a scalar where one starts; elsewhere (it's) it is text
            size_t before = i;
            while (before > 0 && isBlank(text[before - 1]))
                --before;
            if (before == 0 || std::strchr("[{,:", text[before - 1]) != nullptr)
                m_quote = text[i];
        }
        }
        ++i;
    }
}

} // namespace detail
} // namespace yaml
} // namespace plinto
