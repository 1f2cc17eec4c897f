// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What the reader drops: each kind of finding, and its message.
#include "findings.h"

#include "numbers.h"

#include <algorithm>
#include <utility>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

constexpr size_t shownLength = 60;

// Text as it stands in the file, cut short where it is long.
void appendShown(std::string &out, Bytes text)
{
    out.append(text.substr(0, shownLength));
    if (text.size() > shownLength)
        out += "...";
}

// The same for a stored key: Latin-1 text, a byte a character.
void appendShown(std::string &out, const QString &text)
{
    for (const QChar c : QStringView(text).left(TextSize(shownLength)))
        out += char(c.unicode());
    if (size_t(text.size()) > shownLength)
        out += "...";
}

// A comment line: its first character but white space is '#'.
bool isComment(Bytes text)
{
    const Bytes rest = trimmed(text);
    return !rest.empty() && rest.front() == '#';
}

// The text as an item holds it: double quotes gone.
QString itemText(Bytes text)
{
    return QString::fromLatin1(text.data(), TextSize(text.size())).remove(QLatin1Char('"'));
}

bool isNumber(const QString &item)
{
    double value = 0;
    return readReal(item, value);
}

bool isYesOrNo(const QString &item)
{
    bool value = false;
    return readYesOrNo(item, value);
}

} // namespace

void FindingCollector::line(Bytes bytes, const EntryLine *entry)
{
    ++m_line;
    if (entry)
        ++m_entries;
    else
        m_entriesBeforeOtherLines.push_back(m_entries);
    const LineText text = lineText(bytes);
    if (text.nul) {
        m_message = "text after a NUL byte is ignored";
        add(m_line, TextAfterNul, shownText(text.text));
    }
    const bool comment = isComment(text.text);
    if (entry && comment) {
        m_message = "comment line read as an entry, with the key \"";
        appendShown(m_message, entry->key);
        m_message += '"';
        add(m_line, CommentEntry, m_texts.text(entry->key));
    } else if (entry) {
        trailingComment(text, *entry);
    } else if (!comment) {
        if (const char *why = whySkipped(bytes)) {
            m_message = std::string("not an entry (") + why + "): ";
            appendShown(m_message, text.text);
            add(m_line, SkippedLine, shownText(text.text));
        }
    }
}

QString FindingCollector::shownText(Bytes text)
{
    std::string shown;
    appendShown(shown, text);
    return m_texts.text(shown);
}

// YAML reads white space and '#' as the start of a comment; here it is text,
// and the finding says what that does to the value.
void FindingCollector::trailingComment(const LineText &text, const EntryLine &entry)
{
    Bytes key;
    Bytes piece;
    if (text.text.find('#') == Bytes::npos || !entryPieces(text, key, piece))
        return;
    const size_t hash = commentStart(piece);
    if (hash == Bytes::npos)
        return;
    const Bytes value = trimmed(piece);
    const Bytes before = trimmed(piece.substr(0, hash));
    m_message = "key \"";
    appendShown(m_message, entry.key);
    m_message += "\" keeps a trailing comment as part of its value";
    const QString meant = itemText(before);
    const Bytes item = entry.items.front();
    if (isList(before) && !isList(value))
        m_message += ", which makes it one item, not a list";
    else if (!isList(value) && isNumber(meant) && !isNumber(QString::fromLatin1(item.data(), TextSize(item.size()))))
        m_message += ", which reads as 0";
    else if (!isList(value) && isYesOrNo(meant))
        m_message += ", which reads as neither true nor false";
    m_message += ": ";
    appendShown(m_message, value);
    add(m_line, TrailingComment, m_texts.text(entry.key));
}

quint64 FindingCollector::lineOfEntry(size_t entry) const
{
    const auto &others = m_entriesBeforeOtherLines;
    return entry + 1 + quint64(std::upper_bound(others.begin(), others.end(), quint64(entry)) - others.begin());
}

void FindingCollector::overridden(size_t entry, const QString &key, size_t winner)
{
    const quint64 winningLine = lineOfEntry(winner);
    m_message = "key \"";
    appendShown(m_message, key);
    m_message += "\" is overridden by line " + std::to_string(winningLine);
    add(lineOfEntry(entry), OverriddenKey, key, winningLine);
}

QList<Finding> FindingCollector::take()
{
    // Overridden keys come last, in key order; the rest in file order.
    std::stable_sort(m_findings.begin(), m_findings.end(),
                     [](const Finding &a, const Finding &b) { return a.line < b.line; });
    return std::move(m_findings);
}

void FindingCollector::add(quint64 line, FindingKind kind, QString text, quint64 winningLine)
{
    m_findings.append(Finding{qint64(line), kind, std::move(text), qint64(winningLine), m_texts.text(m_message)});
}

} // namespace detail
} // namespace yaml
} // namespace plinto
