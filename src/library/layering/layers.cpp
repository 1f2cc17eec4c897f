// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Layers: the road of a layered configuration. The files are found (search),
// read one after the other into one store with each key's line (merge), and
// the environment laid on top (environment); only a load that went through
// replaces what the last one left.
#include <plinto/layers.h>

#include "environment.h"
#include "merge.h"
#include "search.h"

#include <QFile>

namespace plinto {
namespace yaml {

class Layers::Private
{
public:
    bool load(const QString &name, QList<FileFindings> *findings);
    bool fail(const QString &why)
    {
        error = why;
        return false;
    }
    // The folder with the root in front of it.
    QByteArray rooted(const QString &folder) const;
    // The user's folder ($XDG_CONFIG_HOME, else $HOME/.config), or empty.
    QByteArray userFolder() const;

    QStringList searchPath{QStringLiteral("/etc"), QStringLiteral("/run"), QStringLiteral("/usr/local/lib"),
                           QStringLiteral("/usr/lib")};
    QString root;
    bool user = false;
    QStringList added;
    QString prefix;

    QString error;
    QStringList files; // read, in order: the sources of origins, then variables
    QStringList variables;
    QList<SkippedFile> skipped;
    Reader store;
    std::vector<detail::KeyOrigin> origins;
};

QByteArray Layers::Private::rooted(const QString &folder) const
{
    const QByteArray path = QFile::encodeName(folder);
    if (root.isEmpty())
        return path;
    QByteArray top = QFile::encodeName(root);
    while (top.size() > 1 && top.endsWith('/'))
        top.chop(1);
    return path.startsWith('/') || top.endsWith('/') ? top + path : top + '/' + path;
}

QByteArray Layers::Private::userFolder() const
{
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    if (configHome.startsWith('/'))
        return rooted(QFile::decodeName(configHome));
    const QByteArray home = qgetenv("HOME");
    if (!home.startsWith('/'))
        return QByteArray(); // no home, no user's layer
    return rooted(QFile::decodeName(home + "/.config"));
}

bool Layers::Private::load(const QString &name, QList<FileFindings> *findings)
{
    error.clear();
    if (findings)
        findings->clear();
    detail::SearchPlan plan;
    plan.name = QFile::encodeName(name);
    if (!name.isEmpty() || added.isEmpty()) {
        const QString problem = detail::nameProblem(plan.name);
        if (!problem.isEmpty())
            return fail(QStringLiteral("cannot load the configuration \"%1\": %2").arg(name, problem));
    }
    for (const QString &folder : searchPath)
        plan.folders.push_back(rooted(folder));
    if (user && !name.isEmpty())
        plan.userFolder = userFolder();
    for (const QString &file : added)
        plan.files.push_back(QFile::encodeName(file));

    const detail::SearchResult found = detail::findLayerFiles(plan);
    if (!found.error.isEmpty())
        return fail(found.error);
    detail::MergedLayers merged;
    std::vector<QList<Finding>> fileFindings;
    QString why;
    if (!detail::mergeFiles(found.files, merged, why, findings ? &fileFindings : nullptr))
        return fail(why);

    QStringList readFiles;
    for (const detail::LayerFile &file : found.files)
        readFiles.append(QFile::decodeName(file.path));
    QStringList setBy; // the variables that set a key, the sources after the files
    if (!prefix.isEmpty()) {
        const QByteArray start = QFile::encodeName(prefix);
        const std::map<QByteArray, QByteArray> set = detail::variablesWithPrefix(start);
        for (detail::KeyOrigin &origin : merged.origins) {
            if (set.empty())
                break;
            const QByteArray variable = detail::variableName(start, origin.key);
            const auto value = set.find(variable);
            if (value == set.end())
                continue;
            QStringList items;
            if (!detail::readValue(value->second, items, why))
                return fail(QStringLiteral("cannot read the variable %1: %2").arg(QString::fromLatin1(variable), why));
            merged.entries.insert(origin.key, items);
            origin.source = quint32(readFiles.size() + setBy.size());
            origin.line = 0;
            setBy.append(QString::fromLatin1(variable));
        }
    }

    store.entries = std::move(merged.entries);
    origins = std::move(merged.origins);
    files = readFiles;
    variables = setBy;
    skipped.clear();
    for (const detail::SkippedFile &file : found.skipped)
        skipped.append({QFile::decodeName(file.path), file.reason});
    if (findings) {
        findings->clear();
        for (size_t i = 0; i < fileFindings.size(); ++i)
            findings->append({readFiles.at(int(i)), fileFindings[i]});
    }
    return true;
}

Layers::Layers() : d(std::make_unique<Private>()) { }

Layers::~Layers() = default;

Layers::Layers(const Layers &other) : d(std::make_unique<Private>(*other.d)) { }

Layers &Layers::operator=(const Layers &other)
{
    if (this != &other)
        *d = *other.d;
    return *this;
}

void Layers::setSearchPath(const QStringList &folders)
{
    d->searchPath = folders;
}

QStringList Layers::searchPath() const
{
    return d->searchPath;
}

void Layers::setRoot(const QString &root)
{
    d->root = root;
}

QString Layers::root() const
{
    return d->root;
}

void Layers::setUserLayer(bool on)
{
    d->user = on;
}

bool Layers::userLayer() const
{
    return d->user;
}

void Layers::addFile(const QString &fileName)
{
    d->added.append(fileName);
}

QStringList Layers::addedFiles() const
{
    return d->added;
}

void Layers::setEnvironmentPrefix(const QString &prefix)
{
    d->prefix = prefix;
}

QString Layers::environmentPrefix() const
{
    return d->prefix;
}

bool Layers::load(const QString &name)
{
    return d->load(name, nullptr);
}

bool Layers::load(const QString &name, QList<FileFindings> &findings)
{
    return d->load(name, &findings);
}

QString Layers::errorString() const
{
    return d->error;
}

QStringList Layers::files() const
{
    return d->files;
}

QList<SkippedFile> Layers::skippedFiles() const
{
    return d->skipped;
}

const Reader &Layers::reader() const
{
    return d->store;
}

Origin Layers::origin(const QString &key) const
{
    const detail::KeyOrigin *found = detail::findOrigin(d->origins, key);
    Origin origin;
    if (!found)
        return origin;
    if (found->source < quint32(d->files.size())) {
        origin.fileName = d->files.at(int(found->source));
        origin.line = found->line;
    } else {
        origin.variable = d->variables.at(int(found->source) - d->files.size());
    }
    return origin;
}

} // namespace yaml
} // namespace plinto
