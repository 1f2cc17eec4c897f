// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What the reader drops: each kind of finding, and its message.
#include "findings.h"

#include "numbers.h"
#include "texts.h"

#include <algorithm>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

constexpr TextSize shownLength = 60;

QString latin1(Bytes bytes)
{
    return QString::fromLatin1(bytes.data(), TextSize(bytes.size()));
}

// Text as it stands in the file, cut short where it is long.
QString shown(const QString &text)
{
    return text.size() <= shownLength ? text : text.left(shownLength) + QLatin1String("...");
}

QString shown(Bytes bytes)
{
    return shown(latin1(bytes.substr(0, size_t(shownLength) + 1)));
}

QString quoted(const QString &key)
{
    return QLatin1Char('"') + shown(key) + QLatin1Char('"');
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
    return latin1(text).remove(QLatin1Char('"'));
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
    const LineText text = lineText(bytes);
    if (text.nul)
        add(m_line, TextAfterNul, shown(text.text), QStringLiteral("text after a NUL byte is ignored"));
    const bool comment = isComment(text.text);
    if (entry && comment) {
        const QString key = latin1(entry->key);
        add(m_line, CommentEntry, key, QLatin1String("comment line read as an entry, with the key ") + quoted(key));
    } else if (entry) {
        trailingComment(text, *entry);
    } else if (!comment) {
        if (const char *why = whySkipped(bytes)) {
            const QString line = shown(text.text);
            add(m_line, SkippedLine, line,
                QLatin1String("not an entry (") + QLatin1String(why) + QLatin1String("): ") + line);
        }
    }
}

// YAML reads white space and '#' as the start of a comment; here it is text,
// and the finding says what that does to the value.
void FindingCollector::trailingComment(const LineText &text, const EntryLine &entry)
{
    Bytes key;
    Bytes piece;
    if (!entryPieces(text, key, piece))
        return;
    const size_t hash = commentStart(piece);
    if (hash == Bytes::npos)
        return;
    const Bytes value = trimmed(piece);
    const Bytes before = trimmed(piece.substr(0, hash));
    const QString keyText = latin1(entry.key);
    QString message
            = QLatin1String("key ") + quoted(keyText) + QLatin1String(" keeps a trailing comment as part of its value");
    const QString meant = itemText(before);
    if (isList(before) && !isList(value))
        message += QLatin1String(", which makes it one item, not a list");
    else if (!isList(value) && isNumber(meant) && !isNumber(latin1(entry.items.front())))
        message += QLatin1String(", which reads as 0");
    else if (!isList(value) && isYesOrNo(meant))
        message += QLatin1String(", which reads as neither true nor false");
    add(m_line, TrailingComment, keyText, message + QLatin1String(": ") + shown(value));
}

void FindingCollector::overridden(quint64 line, const QString &key, quint64 winningLine)
{
    add(line, OverriddenKey, key,
        QLatin1String("key ") + quoted(key) + QLatin1String(" is overridden by line ") + QString::number(winningLine),
        winningLine);
}

QList<Finding> FindingCollector::take()
{
    // Overridden keys come last, in key order; the rest in file order.
    std::stable_sort(m_findings.begin(), m_findings.end(),
                     [](const Finding &a, const Finding &b) { return a.line < b.line; });
    return std::move(m_findings);
}

void FindingCollector::add(quint64 line, FindingKind kind, const QString &text, const QString &message,
                           quint64 winningLine)
{
    m_findings.append(Finding{qint64(line), kind, text, qint64(winningLine), message});
}

} // namespace detail
} // namespace yaml
} // namespace plinto
