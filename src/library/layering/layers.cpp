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

namespace {

// What the files found and not read because of this one are, and why: the
// file itself, where it masks, and the copies of its name that it overrides.
QList<SkippedFile> notRead(const detail::LayerFile &file, detail::Mask mask)
{
    QList<SkippedFile> skipped;
    const QString path = QFile::decodeName(file.path);
    if (mask != detail::Mask::None)
        skipped.append({path,
                        file.link                             ? QStringLiteral("a mask (a link to /dev/null)")
                                : mask == detail::Mask::Empty ? QStringLiteral("a mask (empty)")
                                                              : QStringLiteral("a mask (the null device)")});
    const QString by = mask != detail::Mask::None  ? QStringLiteral("masked by %1")
            : file.kind == detail::LayerKind::Main ? QStringLiteral("overridden by %1")
                                                   : QStringLiteral("shadowed by %1");
    for (const QByteArray &below : file.below)
        skipped.append({QFile::decodeName(below), by.arg(path)});
    return skipped;
}

} // namespace

class Layers::Private
{
public:
    bool load(const QString &name, QList<FileFindings> *findings);
    bool fail(const QString &why)
    {
        error = why;
        return false;
    }

    QStringList searchPath{QStringLiteral("/etc"), QStringLiteral("/run"), QStringLiteral("/usr/local/lib"),
                           QStringLiteral("/usr/lib")};
    QString root;
    bool user = false;
    QStringList added;
    QString prefix;

    QString error;
    QStringList files;     // read, in order
    QStringList sources;   // the files that origins count: those read, and masks
    QStringList variables; // the sources after them
    QList<SkippedFile> skipped;
    Reader store;
    std::vector<detail::KeyOrigin> origins;
};

bool Layers::Private::load(const QString &name, QList<FileFindings> *findings)
{
    error.clear();
    if (findings)
        findings->clear();
    detail::SearchPlan plan;
    QString why;
    if (!detail::planFor(searchPath, root, user, added, name, plan, why))
        return fail(why);

    const detail::SearchResult search = detail::findLayerFiles(plan);
    if (!search.error.isEmpty())
        return fail(search.error);
    detail::MergedLayers merged;
    std::vector<QList<Finding>> fileFindings;
    if (!detail::mergeFiles(search.files, merged, why, findings ? &fileFindings : nullptr))
        return fail(why);

    QStringList found; // every file found to be read, masks too: what origins count
    QStringList readFiles;
    QList<SkippedFile> skippedFiles;
    for (size_t i = 0; i < search.files.size(); ++i) {
        const detail::LayerFile &file = search.files[i];
        found.append(QFile::decodeName(file.path));
        skippedFiles += notRead(file, merged.masks[i]);
        if (merged.masks[i] == detail::Mask::None)
            readFiles.append(found.last());
    }
    for (const detail::SkippedFile &file : search.skipped)
        skippedFiles.append({QFile::decodeName(file.path), file.reason});
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
            origin.place = detail::Place(quint32(found.size() + setBy.size()), 0);
            setBy.append(QString::fromLatin1(variable));
        }
    }

    store.entries = std::move(merged.entries);
    origins = std::move(merged.origins);
    files = readFiles;
    sources = found;
    variables = setBy;
    skipped = skippedFiles;
    for (size_t i = 0; findings && i < fileFindings.size(); ++i) {
        if (merged.masks[i] == detail::Mask::None)
            findings->append({found.at(int(i)), fileFindings[i]});
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
    const quint32 source = found->place.source();
    if (source < quint32(d->sources.size())) {
        origin.fileName = d->sources.at(int(source));
        origin.line = found->place.line();
    } else {
        origin.variable = d->variables.at(int(source) - d->sources.size());
    }
    return origin;
}

} // namespace yaml
} // namespace plinto
