// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Editor: changes settings in an entry file and saves it, keeping every other
// byte of the file. Included by <plinto/yaml.h>.
//
// Two promises hold after any sequence of edits: the edited file reads back
// exactly as the loaded file with the edits applied (contents() parsed by
// Reader, and reader(), give that store), and an edit changes only the key's
// entry lines and their value lines, the lines after an entry line that YAML
// reads as part of its value (the rest of a flow list or mapping, or of a
// scalar in quotes, not closed on the line; a block scalar; a plain scalar
// going on; after an empty value, the nested block). A set replaces the value
// on the key's last entry line (what stands before the value and the line's
// end stay) and removes that line's value lines, a new key gets a line at the
// end, a remove deletes the key's entry lines with their value lines; a
// comment line among value lines that reads as an entry stays.
//
// A file that YAML loaded before an edit loads after it, with the key read as
// set: what cannot be done so is refused (see the setters).
#ifndef PLINTO_YAML_EDITOR_H
#define PLINTO_YAML_EDITOR_H

#include <plinto/yaml.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace plinto {
namespace yaml {

// Threads: one Editor belongs to one thread at a time. Editors in several
// threads or processes may save the same file at once (see save()).
class PLINTO_YAML_EXPORT Editor
{
public:
    // An editor of no file: its edits apply to an empty one, save() fails.
    Editor();
    ~Editor();
    Editor(const Editor &) = delete;
    Editor &operator=(const Editor &) = delete;

    // Reads the file to edit and drops earlier edits; a file that does not
    // exist is an empty one, which save() creates. false, with the editor as it
    // was and errorString() saying why, when the file exists but cannot be
    // read (no permission, a directory, a read error, too large for memory).
    bool load(const QString &fileName);

    // Each setter gives the key exactly these items and returns true; false,
    // with nothing changed and errorString() saying why, when the key or an
    // item cannot be written so that it reads back as given: a key with a
    // colon, a line feed, a NUL byte or white space at either end; an item
    // with a colon, a line feed, a NUL byte or a double quote, and in list
    // form a comma or a bracket; any character outside Latin-1 (the file is
    // read a byte a character). The empty key is a key like any other. Also
    // false, the reason naming the key and the lines, when programs that read
    // the file as YAML would not keep the change: the key's last entry line
    // is part of another key's value ("  port: 80" in a block scalar) or an
    // item of a list ("- name: x"), its value lines hold other keys (a nested
    // mapping), its value holds an anchor that an alias elsewhere uses, or it
    // is YAML's merge key "<<". Items go in double quotes where YAML would
    // read them otherwise ("*x", "- a", "a #b"), and nowhere else.
    bool setEntryForKey(const QString &key, const QString &item);          // one item, scalar form
    bool setListEntryForKey(const QString &key, const QStringList &items); // list form, any count
    // The shortest text that reads back as the value, in C notation whatever
    // the locale: 0.1, -0, 1e+300, inf; nan for any NaN.
    bool setRealEntryForKey(const QString &key, double value);
    bool setRealVectorEntryForKey(const QString &key, const QList<double> &values); // list form
    bool setIntegerEntryForKey(const QString &key, qint64 value);
    bool setBoolEntryForKey(const QString &key, bool value); // true or false

    // Removes every entry line of the key with its value lines; false when the
    // key is not there, or as a setter is for YAML's sake (but for "<<").
    bool removeEntryForKey(const QString &key);

    // The store as the edited file reads, built anew by each call.
    Reader reader() const;

    // The bytes save() writes: the loaded file with the edits applied (after a
    // save that merged, with the other program's change).
    QByteArray contents() const;

    // Saves the edits: under the lock FILE.lock, reads the file again and,
    // where another program changed it since load(), applies the edits to
    // what it holds now (another key's change stays; for the same key, this
    // save wins; where the change makes an edit one that YAML readers would
    // not keep, nothing is saved); writes a new file beside it, syncs it,
    // renames it over the file (keeping its permission bits; a symbolic link
    // stays a link and its target is written; a hard link is split) and
    // syncs the folder, so that after a crash the file is the old one or the
    // new one, whole. A live holder of the lock is waited for 5 seconds.
    // Returns false, with the file as it was and errorString() saying why, on
    // any failure (no file loaded, the lock held, a full disk, an I/O error, a
    // folder that cannot be written), but one: when syncing the folder fails,
    // the new file is in place already, and errorString() says it may not
    // survive a power cut.
    bool save();

    // Why the last call failed; empty after a call that succeeded.
    QString errorString() const;

    // After a setter that returned true: what a YAML reader will read
    // otherwise than this format does, for a person (an item that YAML needs
    // in double quotes and that holds a backslash, which YAML reads there as
    // an escape; a control character; a new key that is no such key to YAML,
    // "- name", and the empty key); empty when both read the line alike, and
    // after any other call.
    QString noteString() const;

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_EDITOR_H
