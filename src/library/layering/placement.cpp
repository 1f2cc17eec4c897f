// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Where a change goes: the files that hold the key found in their bytes (for
// a set, the last alone, read from the end on); the target chosen in the
// folder written, and the files read after it looked at for the key.
#include "placement.h"

#include "environment.h"
#include "reading/keylines.h"

#include <QFile>

#include <algorithm>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

constexpr size_t noFile = size_t(-1);

// A file that holds the key, and the key's last line in it.
struct Holder
{
    size_t file;
    qint64 line;
};

// Reads the file where it is not yet; false, with the refusal, where it
// cannot be.
bool readIn(LayeredFiles &config, size_t i, Placement &placement)
{
    if (config.read[i])
        return true;
    if (!readFile(config.files[i], config.bytes[i], config.masks[i], placement.refusal)) {
        placement.failed = true;
        return false;
    }
    config.read[i] = true;
    return true;
}

// The files that hold the key, in the order read: all of them, or the last
// alone (from which the value comes, the only one a set needs), read from
// the end on to it. False, with the refusal, where a file cannot be read.
bool holdersOf(LayeredFiles &config, const QByteArray &key, bool all, std::vector<Holder> &holders,
               Placement &placement)
{
    const Bytes wanted(key.constData(), size_t(key.size()));
    for (size_t n = config.files.size(); n-- > 0;) {
        const size_t i = n;
        if (!readIn(config, i, placement))
            return false;
        if (config.masks[i] != Mask::None)
            continue;
        const Bytes body = fileBody(Bytes(config.bytes[i].constData(), size_t(config.bytes[i].size()))).body;
        size_t last = Bytes::npos;
        findEntryLines(body, {wanted}, [&last](Bytes, LineSpan line) { last = line.start; });
        if (last == Bytes::npos)
            continue;
        holders.insert(holders.begin(),
                       {i, qint64(std::count(body.begin(), body.begin() + std::ptrdiff_t(last), '\n')) + 1});
        if (!all)
            break;
    }
    return true;
}

bool isUsers(const LayerFile &file)
{
    return file.kind == LayerKind::UserMain || file.kind == LayerKind::UserDropIn;
}

bool inWritten(const LayeredFiles &config, const LayerFile &file)
{
    return config.user ? isUsers(file)
                       : (file.kind == LayerKind::Main || file.kind == LayerKind::DropIn) && file.folder == 0;
}

QByteArray writtenFolder(const LayeredFiles &config)
{
    if (config.user)
        return config.plan.userFolder;
    return config.plan.folders.empty() ? QByteArray() : config.plan.folders.front();
}

QByteArray joined(const QByteArray &folder, const QByteArray &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QString shown(const QByteArray &path)
{
    return QFile::decodeName(path);
}

QString keyText(const QByteArray &key)
{
    return QStringLiteral("key \"%1\"").arg(QString::fromLatin1(key));
}

QString lineOf(const LayeredFiles &config, const Holder &holder)
{
    return QStringLiteral("%1:%2").arg(shown(config.files[holder.file].path)).arg(holder.line);
}

// How to change the key where it comes from.
QString howThere(const LayeredFiles &config, const LayerFile &file)
{
    if (isUsers(file) && !config.user)
        return QStringLiteral("set it in the user's layer with --user");
    return QStringLiteral("name that file with --into %1").arg(shown(file.path));
}

// The variable that overrides the key, where one is set (and the key held).
QByteArray variableOf(const LayeredFiles &config, const QByteArray &key)
{
    if (config.prefix.isEmpty())
        return QByteArray();
    const QByteArray name = variableName(config.prefix, QString::fromLatin1(key));
    return config.variables.count(name) ? name : QByteArray();
}

size_t indexOf(const LayeredFiles &config, const QByteArray &path)
{
    for (size_t i = 0; i < config.files.size(); ++i) {
        if (config.files[i].path == path)
            return i;
    }
    return noFile;
}

// Where a new drop-in of the folder written would be read: the index of the
// first file read after it.
size_t newDropInPlace(const LayeredFiles &config, const QByteArray &name)
{
    for (size_t i = 0; i < config.files.size(); ++i) {
        const LayerFile &file = config.files[i];
        const bool sameLayer = config.user ? file.kind == LayerKind::UserDropIn : file.kind == LayerKind::DropIn;
        if ((sameLayer && !bytesBefore(file.dropInName, name)) || file.kind == LayerKind::Given
            || (!config.user && isUsers(file)))
            return i;
    }
    return config.files.size();
}

// The drop-in of the folder written that a set goes into where no file of the
// folder holds the key: "override" with NAME's suffix, else "override_2", ...,
// the first name that no other folder's drop-in has (which the new one would
// shadow whole). Its index where the folder has it already (empty, perhaps),
// else noFile.
QByteArray overrideDropIn(const LayeredFiles &config, size_t &index)
{
    const QByteArray suffix = dropInSuffix(config.plan.name);
    for (int n = 1;; ++n) {
        const QByteArray name = "override" + (n == 1 ? QByteArray() : "_" + QByteArray::number(n)) + suffix;
        index = noFile;
        bool taken = false;
        for (size_t i = 0; i < config.files.size(); ++i) {
            const LayerFile &file = config.files[i];
            if (file.dropInName == name && inWritten(config, file))
                index = i;
            else if (file.dropInName == name)
                taken = true;
        }
        if (!taken)
            return name;
    }
}

} // namespace

Placement placeSet(LayeredFiles &config, const QByteArray &key, const QByteArray &into)
{
    Placement placement;
    std::vector<Holder> holders;
    if (!holdersOf(config, key, false, holders, placement))
        return placement;
    const QByteArray folder = writtenFolder(config);
    const QByteArray dropIns = joined(folder, config.plan.name + ".d");
    size_t after = noFile; // the first file read after the one written
    if (!into.isEmpty()) {
        const size_t index = indexOf(config, into);
        const QByteArray name = into.mid(into.lastIndexOf('/') + 1);
        if (index != noFile && !readIn(config, index, placement))
            return placement;
        if (index != noFile && config.masks[index] == Mask::None) {
            after = index + 1;
        } else if (index == noFile && !folder.isEmpty() && into.left(into.lastIndexOf('/')) == dropIns
                   && name.endsWith(dropInSuffix(config.plan.name)) && !name.startsWith('.')) {
            const bool hides = std::any_of(config.files.begin(), config.files.end(),
                                           [&name](const LayerFile &file) { return file.dropInName == name; });
            if (hides && !config.user) {
                placement.refusal = QStringLiteral("%1 would shadow the drop-in of that name in a lower folder "
                                                   "whole: copy its lines into it first, or choose another name")
                                            .arg(shown(into));
                return placement;
            }
            placement.created = true;
            after = newDropInPlace(config, name);
        } else {
            placement.refusal = QStringLiteral("%1 is no file of the configuration that a change would show in: "
                                               "name a file it reads, or a new drop-in in %2")
                                        .arg(shown(into), shown(dropIns));
            return placement;
        }
        placement.file = into;
    } else if (folder.isEmpty()) {
        placement.refusal = config.user ? QStringLiteral("there is no user's folder ($HOME is not set)")
                                        : QStringLiteral("there is no search folder to write: name a file with --into");
        return placement;
    } else if (!holders.empty() && inWritten(config, config.files[holders.back().file])) {
        placement.file = config.files[holders.back().file].path; // where the value comes from now
        after = holders.back().file + 1;
    } else {
        // The folder's main file, where it is read (or, in the user's layer,
        // may be made: it replaces nothing), and nothing after it holds the key.
        size_t main = noFile;
        for (size_t i = 0; i < config.files.size(); ++i) {
            const LayerFile &file = config.files[i];
            if ((file.kind == LayerKind::Main || file.kind == LayerKind::UserMain) && inWritten(config, file)) {
                if (!readIn(config, i, placement))
                    return placement;
                if (config.masks[i] == Mask::None)
                    main = i;
            }
        }
        size_t mainAfter = main == noFile ? noFile : main + 1;
        if (main == noFile && config.user) {
            mainAfter = newDropInPlace(config, QByteArray()); // before the user's drop-ins
            placement.created = true;
        }
        const bool mainShows = mainAfter != noFile
                && std::none_of(holders.begin(), holders.end(),
                                [mainAfter](const Holder &holder) { return holder.file >= mainAfter; });
        if (mainShows) {
            placement.file = main == noFile ? joined(folder, config.plan.name) : config.files[main].path;
            after = mainAfter;
        } else {
            size_t index = noFile;
            const QByteArray name = overrideDropIn(config, index);
            placement.file = joined(dropIns, name);
            placement.created = index == noFile;
            after = index == noFile ? newDropInPlace(config, name) : index + 1;
        }
    }
    const auto later = std::find_if(holders.begin(), holders.end(),
                                    [after](const Holder &holder) { return holder.file >= after; });
    if (later != holders.end()) {
        const Holder &shows = holders.back();
        placement.refusal = QStringLiteral("%1 would still come from %2, read after %3: %4")
                                    .arg(keyText(key), lineOf(config, shows), shown(placement.file),
                                         howThere(config, config.files[shows.file]));
        return placement;
    }
    const QByteArray variable = variableOf(config, key);
    if (!variable.isEmpty())
        placement.refusal = QStringLiteral("%1 would still come from the variable %2, which overrides every file: "
                                           "unset it")
                                    .arg(keyText(key), QString::fromLatin1(variable));
    return placement;
}

Placement placeRemove(LayeredFiles &config, const QByteArray &key, const QByteArray &into)
{
    Placement placement;
    std::vector<Holder> holders;
    if (!holdersOf(config, key, true, holders, placement))
        return placement;
    if (holders.empty()) {
        placement.refusal = QStringLiteral("the key is not there");
        return placement;
    }
    const Holder &shows = holders.back();
    const QByteArray variable = variableOf(config, key);
    if (!variable.isEmpty()) {
        placement.refusal = QStringLiteral("%1 comes from the variable %2: unset it")
                                    .arg(keyText(key), QString::fromLatin1(variable));
        return placement;
    }
    const QByteArray folder = writtenFolder(config);
    for (const Holder &holder : holders) {
        const LayerFile &file = config.files[holder.file];
        if (into.isEmpty() ? inWritten(config, file) : file.path == into)
            placement.removal.push_back(file.path);
    }
    const LayerFile &source = config.files[shows.file];
    if (placement.removal.empty()) {
        placement.refusal
                = QStringLiteral("%1 is in no file of %2: its value comes from %3")
                          .arg(keyText(key), into.isEmpty() ? shown(folder) : shown(into), lineOf(config, shows));
    } else if (into.isEmpty() ? !inWritten(config, source) : source.path != into) {
        placement.refusal
                = QStringLiteral("%1 comes from %2, read after %3: removing it there would change nothing; "
                                 "%4")
                          .arg(keyText(key), lineOf(config, shows), shown(placement.removal.back()),
                               howThere(config, source).replace(QLatin1String("set it"), QLatin1String("remove it")));
    }
    return placement;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
