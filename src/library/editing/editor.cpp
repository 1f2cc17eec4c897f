// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Editor: the road of an edit. A setter checks and writes the key and value
// texts (writing) and keeps them by key (edits); contents() and save() find
// the edited keys' lines in the loaded bytes (keylines) and splice them
// (edits); save() does so under the lock, on the file as it is then (save).
#include <plinto/editor.h>

#include "edits.h"
#include "lock.h"
#include "reading/filebytes.h"
#include "refusals.h"
#include "save.h"
#include "writing.h"

#include <QBuffer>
#include <QFile>

namespace plinto {
namespace yaml {

class Editor::Private
{
public:
    detail::Bytes bytes() const { return detail::Bytes(loaded.constData(), size_t(loaded.size())); }

    // Fails with why.
    bool fail(const char *why)
    {
        error = QString::fromLatin1(why);
        return false;
    }
    bool fail(const std::string &why)
    {
        error = QString::fromLatin1(why.data(), int(why.size()));
        return false;
    }

    bool set(const QString &key, const QStringList &items, bool list);

    // After a save, the saved edits become part of the loaded bytes, so that
    // the next save does not apply them again over another program's change.
    void settle()
    {
        if (!saved)
            return;
        loaded = detail::EditedBytes(bytes(), edits, &found).joined();
        edits.clear();
        found.clear();
        readFrom = {};
        saved = false;
    }

    // The key's lines in the loaded bytes, found for a remove or a set, and kept.
    const detail::KeyLines &findLines(const std::string &key, bool dropLines)
    {
        const auto slot = found.try_emplace(key).first;
        slot->second = detail::findKeyLines(bytes(), slot->first, dropLines, &readFrom);
        return slot->second;
    }

    QString fileName; // empty: none loaded
    QByteArray loaded;
    detail::Edits edits;
    detail::FoundLines found;  // of the edited keys, in loaded
    detail::ReadFrom readFrom; // in loaded, as far as it was read to find them
    quint64 newLines = 0;
    bool saved = false; // the edits are in the file: loaded + edits is what it holds
    QString error;
    QString note;
};

Editor::Editor() : d(std::make_unique<Private>()) { }

Editor::~Editor() = default;

bool Editor::load(const QString &fileName)
{
    d->error.clear();
    d->note.clear();
    QByteArray bytes;
    QString why;
    if (detail::readFileBytes(fileName, bytes, why) == detail::FileBytes::Failed) {
        d->error = QStringLiteral("cannot read %1: %2").arg(fileName, why);
        return false;
    }
    d->fileName = fileName;
    d->loaded = bytes;
    d->edits.clear();
    d->found.clear();
    d->readFrom = {};
    d->saved = false;
    return true;
}

bool Editor::Private::set(const QString &key, const QStringList &items, bool list)
{
    error.clear();
    note.clear();
    std::string keyText;
    std::string value;
    std::string yamlNote;
    if (const char *why = detail::keyBytes(key, keyText))
        return fail(why);
    if (const char *why = detail::valueText(items, list, value, yamlNote))
        return fail(why);
    settle();
    const auto earlier = edits.find(keyText);
    bool there = false; // else it goes on a new line
    if (earlier == edits.end() || !earlier->second.dropLines) {
        detail::KeyEdit probe;
        probe.set = true;
        const detail::KeyLines &lines = findLines(keyText, false);
        const std::string refusal = detail::yamlRefusal(lines, probe);
        if (!refusal.empty())
            return fail(refusal);
        there = !lines.lines.empty();
    }
    if (!there && yamlNote.empty())
        yamlNote = detail::yamlKeyNote(keyText);
    if (!yamlNote.empty())
        note = QStringLiteral("key \"%1\": %2").arg(key, QString::fromLatin1(yamlNote.data(), int(yamlNote.size())));
    detail::KeyEdit &edit = edits[keyText];
    if (!edit.set)
        edit.newLineOrder = newLines++; // where it goes if it needs a new line
    edit.set = true;
    edit.value = std::move(value);
    return true;
}

bool Editor::setEntryForKey(const QString &key, const QString &item)
{
    return d->set(key, QStringList{item}, false);
}

bool Editor::setListEntryForKey(const QString &key, const QStringList &items)
{
    return d->set(key, items, true);
}

bool Editor::setRealEntryForKey(const QString &key, double value)
{
    std::string text;
    if (const char *why = detail::realText(value, text))
        return d->fail(why);
    return d->set(key, QStringList{QString::fromStdString(text)}, false);
}

bool Editor::setRealVectorEntryForKey(const QString &key, const QList<double> &values)
{
    QStringList items;
    for (const double value : values) {
        std::string text;
        if (const char *why = detail::realText(value, text))
            return d->fail(why);
        items.append(QString::fromStdString(text));
    }
    return d->set(key, items, true);
}

bool Editor::setIntegerEntryForKey(const QString &key, qint64 value)
{
    return d->set(key, QStringList{QString::number(value)}, false);
}

bool Editor::setBoolEntryForKey(const QString &key, bool value)
{
    return d->set(key, QStringList{value ? QStringLiteral("true") : QStringLiteral("false")}, false);
}

bool Editor::removeEntryForKey(const QString &key)
{
    d->error.clear();
    d->note.clear();
    d->settle();
    std::string keyText;
    if (detail::keyBytes(key, keyText)) // a key that no line can hold is in no file
        return d->fail("the key is not there");
    const detail::KeyLines &lines = d->findLines(keyText, true);
    const auto edit = d->edits.find(keyText);
    if (edit != d->edits.end() ? !edit->second.set : lines.lines.empty())
        return d->fail("the key is not there");
    detail::KeyEdit probe;
    probe.dropLines = true;
    const std::string refusal = detail::yamlRefusal(lines, probe);
    if (!refusal.empty())
        return d->fail(refusal);
    detail::KeyEdit &removed = d->edits[keyText];
    removed.dropLines = true;
    removed.set = false;
    removed.value.clear();
    return true;
}

Reader Editor::reader() const
{
    QByteArray bytes = contents();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Reader edited;
    edited.parse(&buffer);
    return edited;
}

QByteArray Editor::contents() const
{
    if (d->edits.empty())
        return d->loaded;
    const detail::EditedBytes edited(d->bytes(), d->edits, &d->found);
    return edited.changesFile() ? edited.joined() : d->loaded;
}

bool Editor::save()
{
    d->error.clear();
    d->note.clear();
    if (d->fileName.isEmpty())
        return d->fail("no file to save: load() names it");
    d->settle();
    const QString file = detail::fileToWrite(d->fileName);
    detail::SaveLock lock(file);
    QString why;
    QByteArray now;
    bool changed = false;
    if (!lock.lock(why) || !detail::readAgain(file, d->loaded, now, changed, why)) {
        d->error = QStringLiteral("cannot save %1: %2").arg(d->fileName, why);
        return false;
    }
    const detail::EditedBytes edited(changed ? detail::Bytes(now.constData(), size_t(now.size())) : d->bytes(),
                                     d->edits, changed ? nullptr : &d->found);
    if (!edited.refusal().empty()) { // another program's change made an edit impossible
        d->error
                = QStringLiteral("cannot save %1: %2")
                          .arg(d->fileName, QString::fromLatin1(edited.refusal().data(), int(edited.refusal().size())));
        return false;
    }
    if (changed) { // another program's change, with this editor's edits applied again
        d->loaded = now;
        d->found.clear();
        d->readFrom = {};
    }
    const bool exists = QFile::exists(file);
    if ((exists && !edited.changesFile()) || detail::writeAtomically(file, edited.pieces(), why)) {
        d->saved = !d->edits.empty();
        return true;
    }
    d->error = QStringLiteral("cannot save %1: %2").arg(d->fileName, why);
    return false;
}

QString Editor::errorString() const
{
    return d->error;
}

QString Editor::noteString() const
{
    return d->note;
}

} // namespace yaml
} // namespace plinto
