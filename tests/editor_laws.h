// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The two laws of an edit, as tst_editor and fuzz_editor check them.
#ifndef TARNWICK_TESTS_EDITOR_LAWS_H
#define TARNWICK_TESTS_EDITOR_LAWS_H

#include <plinto/yaml.h>

#include <QBuffer>
#include <QSet>

#include <functional>

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

// The bytes' lines, each with its line end, a byte-order mark aside.
inline QList<QByteArray> linesOf(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QList<QByteArray> lines;
    for (decltype(bytes.size()) start = 0; start < bytes.size();) {
        const auto lf = bytes.indexOf('\n', start);
        const auto end = lf < 0 ? bytes.size() : lf + 1;
        lines.append(bytes.mid(start, end - start));
        start = end;
    }
    return lines;
}

// The key of an entry line; a null string for a line that is no entry.
inline QString keyOf(const QByteArray &line)
{
    const Entries entries = parsed("\n" + line);
    return entries.isEmpty() ? QString() : entries.firstKey();
}

// Nothing else moves: an edit changes only the edited keys' entry lines and
// their value lines, lines that are no entry of the format right after one
// of them (a comment line that reads as an entry may stand among them, and
// stays). Every other line keeps its bytes and its order. A last line without
// a line feed may have been given one.
inline bool nothingElseMoved(const QByteArray &before, const QByteArray &after, const QSet<QString> &keys)
{
    const QList<QByteArray> old = linesOf(before);
    QList<QByteArray> now;
    for (const QByteArray &line : linesOf(after)) {
        const QString key = keyOf(line);
        if (key.isNull() || !keys.contains(key))
            now.append(line);
    }
    // Old line i as new line j: the same bytes, or the old last line given a
    // line feed.
    const bool unended = !before.endsWith('\n');
    const auto same = [&](int i, int j) {
        const QByteArray &line = old.at(i);
        return now.at(j) == line
                || (unended && i == old.size() - 1 && (now.at(j) == line + '\n' || now.at(j) == line + "\r\n"));
    };
    // Old line i and new line j onwards, after an edited key's entry line or
    // not: can they still match? Where a line that may go matches as well, both
    // ways are tried; a way that failed once is not tried again.
    QSet<QPair<int, int>> failed;
    const std::function<bool(int, int, bool)> match = [&](int i, int j, bool afterEdited) -> bool {
        for (;; ++i) {
            if (i == old.size())
                return j == now.size();
            const QString key = keyOf(old.at(i));
            if (!key.isNull() && keys.contains(key)) {
                afterEdited = true;
                continue;
            }
            const bool comment = old.at(i).trimmed().startsWith('#');
            const bool mayGo = afterEdited && key.isNull();
            if (j < now.size() && same(i, j)) {
                if (!mayGo)
                    return match(i + 1, j + 1, afterEdited && !key.isNull() && comment);
                if (!failed.contains({i, j}) && match(i + 1, j + 1, false))
                    return true;
                failed.insert({i, j});
                continue; // it went with the value
            }
            if (!mayGo)
                return false;
        }
    };
    return match(0, 0, false);
}

} // namespace laws

#endif // TARNWICK_TESTS_EDITOR_LAWS_H
