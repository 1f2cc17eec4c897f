// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// LayersEditor: each change placed (placement) against the files as read, and
// made by an Editor of the file it goes into; the save saves each of them.
#include <plinto/layers.h>

#include "environment.h"
#include "placement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <map>
#include <set>

namespace plinto {
namespace yaml {

class LayersEditor::Private
{
public:
    bool fail(const QString &why)
    {
        error = why;
        return false;
    }
    // The editor of the file, loaded at its first change; null, with error.
    Editor *editorOf(const QByteArray &file);
    bool set(const QString &key, const std::function<bool(Editor &)> &change);

    bool loaded = false;
    detail::LayeredFiles config;
    QByteArray into;
    std::map<QByteArray, std::unique_ptr<Editor>> editors;
    std::set<QByteArray> folders; // of new drop-ins, made at the save
    QStringList changed;
    QString error;
    QString note;
};

Editor *LayersEditor::Private::editorOf(const QByteArray &file)
{
    std::unique_ptr<Editor> &editor = editors[file];
    if (!editor) {
        editor = std::make_unique<Editor>();
        if (!editor->load(QFile::decodeName(file))) {
            fail(editor->errorString());
            editors.erase(file);
            return nullptr;
        }
    }
    return editor.get();
}

bool LayersEditor::Private::set(const QString &key, const std::function<bool(Editor &)> &change)
{
    error.clear();
    note.clear();
    if (!loaded)
        return fail(QStringLiteral("no configuration loaded: load() names it"));
    const detail::Placement placement = detail::placeSet(config, key.toLatin1(), into);
    if (!placement.refusal.isEmpty())
        return fail(placement.refusal);
    Editor *editor = editorOf(placement.file);
    if (!editor)
        return false;
    if (!change(*editor))
        return fail(editor->errorString());
    note = editor->noteString();
    if (placement.created)
        folders.insert(placement.file.left(placement.file.lastIndexOf('/')));
    changed = QStringList{QFile::decodeName(placement.file)};
    return true;
}

LayersEditor::LayersEditor() : d(std::make_unique<Private>()) { }

LayersEditor::~LayersEditor() = default;

bool LayersEditor::load(const Layers &layers, const QString &name)
{
    d->error.clear();
    d->note.clear();
    detail::LayeredFiles config;
    QString why;
    // The user's layer is read in any case: a change of the system's files
    // that the user's file hides would not show for programs that read it.
    if (!detail::planFor(layers.searchPath(), layers.root(), true, layers.addedFiles(), name, config.plan, why))
        return d->fail(why);
    detail::SearchResult search = detail::findLayerFiles(config.plan);
    if (!search.error.isEmpty())
        return d->fail(search.error);
    config.folders = std::move(search.folders);
    config.files = std::move(search.files);
    config.bytes.assign(config.files.size(), QByteArray());
    config.masks.assign(config.files.size(), detail::Mask::None);
    config.read.assign(config.files.size(), false);
    config.user = layers.userLayer();
    config.prefix = QFile::encodeName(layers.environmentPrefix());
    if (!config.prefix.isEmpty())
        config.variables = detail::variablesWithPrefix(config.prefix);
    d->config = std::move(config);
    d->editors.clear();
    d->folders.clear();
    d->changed.clear();
    d->loaded = true;
    return true;
}

void LayersEditor::setTargetFile(const QString &fileName)
{
    d->into = QFile::encodeName(fileName);
}

bool LayersEditor::setEntryForKey(const QString &key, const QString &item)
{
    return d->set(key, [&](Editor &editor) { return editor.setEntryForKey(key, item); });
}

bool LayersEditor::setListEntryForKey(const QString &key, const QStringList &items)
{
    return d->set(key, [&](Editor &editor) { return editor.setListEntryForKey(key, items); });
}

bool LayersEditor::removeEntryForKey(const QString &key)
{
    d->error.clear();
    d->note.clear();
    if (!d->loaded)
        return d->fail(QStringLiteral("no configuration loaded: load() names it"));
    const detail::Placement placement = detail::placeRemove(d->config, key.toLatin1(), d->into);
    if (!placement.refusal.isEmpty())
        return d->fail(placement.refusal);
    // Every file's removal judged before any is kept: all of them, or none.
    std::vector<Editor *> editors;
    for (const QByteArray &file : placement.removal) {
        Editor *editor = d->editorOf(file);
        if (!editor)
            return false;
        Editor probe;
        probe.load(QFile::decodeName(file));
        if (!probe.removeEntryForKey(key))
            return d->fail(probe.errorString());
        editors.push_back(editor);
    }
    QStringList changed;
    for (size_t i = 0; i < editors.size(); ++i) {
        editors[i]->removeEntryForKey(key);
        changed.append(QFile::decodeName(placement.removal[i]));
    }
    d->changed = changed;
    return true;
}

QStringList LayersEditor::changedFiles() const
{
    return d->changed;
}

bool LayersEditor::save()
{
    d->error.clear();
    d->note.clear();
    for (const QByteArray &folder : d->folders) {
        if (!QDir().mkpath(QFile::decodeName(folder)))
            return d->fail(QStringLiteral("cannot make the folder %1").arg(QFile::decodeName(folder)));
    }
    for (const auto &file : d->editors) {
        if (!file.second->save())
            return d->fail(file.second->errorString());
    }
    return true;
}

QString LayersEditor::errorString() const
{
    return d->error;
}

QString LayersEditor::noteString() const
{
    return d->note;
}

} // namespace yaml
} // namespace plinto
