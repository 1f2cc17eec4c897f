// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Reader: typed lookups in a flat key/value entry file; Editor (editor.h,
// included at the end): changes to one, saved; Layers (layers.h, likewise): a
// configuration of several, read as system configuration is, and where each
// value came from; Watcher (watcher.h, likewise): word of changes to one, key
// by key.
//
// An entry file holds one "key: value" or "key: [a, b, c]" per line. Reader
// loads it into an ordered map and answers lookups that never fail: what is
// missing reads as empty, what is not a number reads as 0.0.
#ifndef PLINTO_YAML_H
#define PLINTO_YAML_H

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

#if __has_include(<plinto/yaml_export.h>)
#include <plinto/yaml_export.h>
#else
#define PLINTO_YAML_EXPORT // built into the program that uses it
#endif

namespace plinto {
namespace yaml {

enum EntryType : qint32 {
    SingleEntry = 0, // at most one item, or the key is absent
    ListEntry = 1    // two or more items
};

// What a parse found that the file's author may not have meant: a line it
// dropped or cut, or one it read otherwise than a full YAML reader would.
enum FindingKind : qint32 {
    SkippedLine = 0,    // not an entry, so skipped (the message says why); a comment line,
                        // whose first character but white space is '#', is not reported
    OverriddenKey = 1,  // a later line of the same key replaces this line's items
    TextAfterNul = 2,   // a NUL byte ends the line's text: the rest of the line is dropped
    CommentEntry = 3,   // a comment line read as an entry all the same ("# note: x")
    TrailingComment = 4 // an entry whose value holds white space then '#', which YAML reads
                        // as a comment and this format keeps as text ("1   # default")
};

// One finding: where, of what kind, about which key or text, and what to tell a person.
struct Finding
{
    qint64 line = 0; // counted from 1; a line ends at a line feed
    FindingKind kind = SkippedLine;
    // The key, for OverriddenKey, CommentEntry and TrailingComment; else the
    // line's text up to a NUL byte, cut after 60 characters with "...".
    QString text;
    qint64 winningLine = 0; // OverriddenKey: the key's last line, whose items it holds
    QString message;        // for a person: what tarnwick-check writes after "FILE:LINE: "
};

} // namespace yaml
} // namespace plinto

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
Q_DECLARE_TYPEINFO(plinto::yaml::Finding, Q_RELOCATABLE_TYPE);
#else
Q_DECLARE_TYPEINFO(plinto::yaml::Finding, Q_MOVABLE_TYPE);
#endif

namespace plinto {
namespace yaml {

// Threads: const lookups on one Reader may run at the same time from any
// number of threads. parse, and any change to entries, must not run while
// another thread uses the same Reader.
class PLINTO_YAML_EXPORT Reader
{
public:
    // An empty store.
    Reader() = default;

    // Reads an entry file and adds its entries to the store; a key already
    // held gets the items of the file's last line for it. Lines that are not
    // entries are skipped. Returns false, leaving the store as it was, when
    // the file cannot be opened or a read fails part-way.
    bool parse(const QString &fileName);

    // The same from an open device (a QBuffer, a QProcess, a socket, a file
    // the caller opened), read from where it stands to its end. Returns false,
    // leaving the store as it was, when the device is null or not open for
    // reading, or a read fails part-way.
    bool parse(QIODevice *device);

    // Either parse, which also sets findings to what it found, in file order
    // (on one line: the line's own findings, then an overridden key); empty
    // when it returns false.
    bool parse(const QString &fileName, QList<Finding> &findings);
    bool parse(QIODevice *device, QList<Finding> &findings);

    // Every key, in ascending order; empty for an empty store.
    QStringList keys() const;

    // The key's items in file order; an empty list for a missing key. Keys
    // match exactly: case and surrounding spaces count.
    QStringList listEntryForKey(const QString &key) const;

    // The key's first item; a null string for a missing key or one with no item.
    QString entryForKey(const QString &key) const;

    // The key's first item; fallback for a missing key or one with no item.
    QString entryForKey(const QString &key, const QString &fallback) const;

    // ListEntry for two or more items, SingleEntry otherwise (also for a missing key).
    EntryType entryTypeForKey(const QString &key) const;

    // The first item as a number; 0.0 for a missing key, no item, or text that
    // is not a number in C notation ("2,5" is not).
    double realEntryForKey(const QString &key) const;

    // The first item as a number, read as above; fallback for a missing key,
    // no item, or text that is not a number in C notation.
    double realEntryForKey(const QString &key, double fallback) const;

    // The first item as a whole number: an optional sign and decimal digits,
    // nothing else ("12", "-3", "+7"), within qint64. fallback for a missing
    // key, no item, any other text ("1.0", "1e3", "0x10", "12abc", "") and a
    // number out of range.
    qint64 integerEntryForKey(const QString &key, qint64 fallback = 0) const;

    // The first item as yes or no: true for "true", "True" or "TRUE", false for
    // "false", "False" or "FALSE"; fallback for a missing key, no item, and any
    // other text ("yes", "on", "1").
    bool boolEntryForKey(const QString &key, bool fallback = false) const;

    // One number per item, in order, 0.0 for each item that is not a number;
    // as long as listEntryForKey(key), so empty for a missing key.
    QVector<double> realVectorEntryForKey(const QString &key) const;

    // The text as the lookups above read an item as a number: 0.0 for text
    // that is not a number in C notation. For walking entries with numbers.
    static double realFromText(const QString &text);

    // The store: each key with its items, ordered by key.
    QMap<QString, QStringList> entries;
};

} // namespace yaml
} // namespace plinto

#include <plinto/editor.h>
#include <plinto/layers.h>
#include <plinto/watcher.h>

#endif // PLINTO_YAML_H
