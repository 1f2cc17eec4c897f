// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The two laws of an edit, as tst_editor and fuzz_editor check them.
#ifndef TARNWICK_TESTS_EDITOR_LAWS_H
#define TARNWICK_TESTS_EDITOR_LAWS_H

#include <plinto/yaml.h>

#include <QBuffer>
#include <QSet>

namespace laws {

using Entries = QMap<QString, QStringList>;

// The store that the bytes read as.
inline Entries parsed(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    plinto::yaml::Reader reader;
    reader.parse(&buffer);
    return reader.entries;
}

// The lines that are no entry of the keys, each with its line end, a
// byte-order mark aside.
inline QList<QByteArray> otherLines(QByteArray bytes, const QSet<QString> &keys)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QList<QByteArray> lines;
    for (decltype(bytes.size()) start = 0; start < bytes.size();) {
        const auto lf = bytes.indexOf('\n', start);
        const auto end = lf < 0 ? bytes.size() : lf + 1;
        const QByteArray line = bytes.mid(start, end - start);
        const Entries entries = parsed("\n" + line);
        if (entries.isEmpty() || !keys.contains(entries.firstKey()))
            lines.append(line);
        start = end;
    }
    return lines;
}

// Nothing else moves: the lines of other keys, comments, blank lines and
// lines that are no entry stay as they were, in their order. A last line
// without a line feed may have been given one.
inline bool nothingElseMoved(const QByteArray &before, const QByteArray &after, const QSet<QString> &keys)
{
    QList<QByteArray> old = otherLines(before, keys);
    const QList<QByteArray> now = otherLines(after, keys);
    if (!before.endsWith('\n') && !old.isEmpty() && old.size() == now.size() && now.last().startsWith(old.last()))
        old.last() = now.last();
    return old == now;
}

} // namespace laws

#endif // TARNWICK_TESTS_EDITOR_LAWS_H
