// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Which files a layered configuration is made of: each name looked at with
// lstat and readdir, in the file system's bytes, drop-ins sorted by bytes.
#include "search.h"

#include <QList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// What a name in a folder is, to the rule.
enum class Kind {
    Missing, // not there
    File,    // a regular file that holds something, to be read
    Mask,    // empty, or a link to /dev/null
    Folder,  // a folder, or a link to one
    Fault    // there, but no file that can be read: why says why
};

struct Found
{
    Kind kind = Kind::Missing;
    QString why; // Mask: what makes it one; Fault: why it cannot be read
};

bool isNullDevice(const struct stat &status)
{
    return S_ISCHR(status.st_mode) && major(status.st_rdev) == 1 && minor(status.st_rdev) == 3;
}

// The name in the folder open as at (AT_FDCWD: a path), links followed.
Found lookAt(int at, const char *name)
{
    struct stat status;
    if (::fstatat(at, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return {Kind::Fault, qt_error_string(errno)};
    }
    if (S_ISLNK(status.st_mode)) {
        char target[16];
        const ssize_t size = ::readlinkat(at, name, target, sizeof target);
        if (size == 9 && std::memcmp(target, "/dev/null", 9) == 0)
            return {Kind::Mask, QStringLiteral("a link to /dev/null")};
        if (::fstatat(at, name, &status, 0) != 0)
            return {Kind::Fault, errno == ENOENT ? QStringLiteral("a dangling symbolic link") : qt_error_string(errno)};
    }
    if (isNullDevice(status))
        return {Kind::Mask, QStringLiteral("the null device")};
    if (S_ISDIR(status.st_mode))
        return {Kind::Folder, QStringLiteral("it is a folder")};
    if (!S_ISREG(status.st_mode))
        return {Kind::Fault, QStringLiteral("it is not a regular file")};
    if (status.st_size == 0)
        return {Kind::Mask, QStringLiteral("empty")};
    return {Kind::File, QString()};
}

QByteArray joined(const QByteArray &folder, const QByteArray &name)
{
    if (folder.isEmpty() || folder.endsWith('/'))
        return folder + name;
    return folder + '/' + name;
}

QString shown(const QByteArray &path)
{
    return QString::fromLocal8Bit(path);
}

void fail(SearchResult &result, const QByteArray &path, const QString &why)
{
    if (result.error.isEmpty())
        result.error = QStringLiteral("cannot read %1: %2").arg(shown(path), why);
}

// One name of a drop-in folder, in the folder it is in.
struct Candidate
{
    int folder = -1;
    QByteArray path;
    Found found;
};

// The drop-ins of one NAME.d/ folder, each a candidate for its name; the
// other names of the folder are skipped, with why. A folder that cannot be
// read is a fault of the search.
void listDropIns(const QByteArray &folderPath, int folder, const QByteArray &suffix,
                 std::map<QByteArray, std::vector<Candidate>, decltype(&bytesBefore)> &names, SearchResult &result)
{
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folderPath.constData()), &::closedir);
    if (!dir) {
        if (errno != ENOENT && errno != ENOTDIR)
            fail(result, folderPath, qt_error_string(errno));
        return;
    }
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                fail(result, folderPath, qt_error_string(errno));
            return;
        }
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = joined(folderPath, name);
        if (name.startsWith('.')) {
            result.skipped.push_back({path, QStringLiteral("not a drop-in: its name begins with a dot")});
            continue;
        }
        if (!name.endsWith(suffix)) {
            result.skipped.push_back(
                    {path, QStringLiteral("not a drop-in: its name does not end in %1").arg(shown(suffix))});
            continue;
        }
        const Found found = lookAt(::dirfd(dir.get()), entry->d_name);
        if (found.kind == Kind::Folder)
            result.skipped.push_back({path, QStringLiteral("not a drop-in: a folder")});
        else if (found.kind != Kind::Missing)
            names[name].push_back({folder, path, found});
    }
}

// The main file: the highest folder's wins, or masks.
void findMainFile(const SearchPlan &plan, SearchResult &result)
{
    const Candidate *winner = nullptr;
    std::vector<Candidate> held;
    for (size_t i = 0; i < plan.folders.size(); ++i) {
        const QByteArray path = joined(plan.folders[i], plan.name);
        const Found found = lookAt(AT_FDCWD, path.constData());
        if (found.kind != Kind::Missing)
            held.push_back({int(i), path, found});
    }
    for (const Candidate &candidate : held) {
        if (!winner) {
            winner = &candidate;
            if (candidate.found.kind == Kind::File)
                result.files.push_back({candidate.path, LayerKind::Main, candidate.folder, QByteArray()});
            else if (candidate.found.kind == Kind::Mask)
                result.skipped.push_back({candidate.path, QStringLiteral("a mask (%1)").arg(candidate.found.why)});
            else
                fail(result, candidate.path, candidate.found.why);
            continue;
        }
        const bool masked = winner->found.kind == Kind::Mask;
        result.skipped.push_back(
                {candidate.path,
                 QStringLiteral("%1 by %2")
                         .arg(masked ? QStringLiteral("masked") : QStringLiteral("overridden"), shown(winner->path))});
    }
}

// Every folder's drop-ins, by name: the highest folder's copy of a name wins,
// or masks it; the names read in byte order.
void findDropIns(const SearchPlan &plan, const QByteArray &suffix, SearchResult &result)
{
    std::map<QByteArray, std::vector<Candidate>, decltype(&bytesBefore)> names(&bytesBefore);
    for (size_t i = 0; i < plan.folders.size(); ++i)
        listDropIns(joined(plan.folders[i], plan.name + ".d"), int(i), suffix, names, result);
    for (const auto &name : names) {
        const Candidate &winner = name.second.front();
        if (winner.found.kind == Kind::File)
            result.files.push_back({winner.path, LayerKind::DropIn, winner.folder, name.first});
        else if (winner.found.kind == Kind::Mask)
            result.skipped.push_back({winner.path, QStringLiteral("a mask (%1)").arg(winner.found.why)});
        else
            fail(result, winner.path, winner.found.why);
        const QString by
                = QStringLiteral("%1 by %2")
                          .arg(winner.found.kind == Kind::Mask ? QStringLiteral("masked") : QStringLiteral("shadowed"),
                               shown(winner.path));
        for (size_t i = 1; i < name.second.size(); ++i)
            result.skipped.push_back({name.second[i].path, by});
    }
}

// The user's file, then its drop-ins in byte order: all read, none masks.
void findUserFiles(const SearchPlan &plan, const QByteArray &suffix, SearchResult &result)
{
    const QByteArray mainPath = joined(plan.userFolder, plan.name);
    const Found main = lookAt(AT_FDCWD, mainPath.constData());
    if (main.kind == Kind::File || main.kind == Kind::Mask)
        result.files.push_back({mainPath, LayerKind::UserMain, -1, QByteArray()});
    else if (main.kind != Kind::Missing)
        fail(result, mainPath, main.why);
    std::map<QByteArray, std::vector<Candidate>, decltype(&bytesBefore)> names(&bytesBefore);
    listDropIns(joined(plan.userFolder, plan.name + ".d"), -1, suffix, names, result);
    for (const auto &name : names) {
        const Candidate &only = name.second.front();
        if (only.found.kind == Kind::File || only.found.kind == Kind::Mask)
            result.files.push_back({only.path, LayerKind::UserDropIn, -1, name.first});
        else
            fail(result, only.path, only.found.why);
    }
}

} // namespace

bool bytesBefore(const QByteArray &a, const QByteArray &b)
{
    const int order = std::memcmp(a.constData(), b.constData(), size_t(std::min(a.size(), b.size())));
    return order != 0 ? order < 0 : a.size() < b.size();
}

QString nameProblem(const QByteArray &name)
{
    if (name.isEmpty())
        return QStringLiteral("the name is empty");
    if (name.startsWith('/'))
        return QStringLiteral("the name must be relative to the search folders, not absolute");
    if (name.contains('\0'))
        return QStringLiteral("the name holds a NUL byte");
    const QList<QByteArray> parts = name.split('/');
    for (const QByteArray &part : parts) {
        if (part == "..")
            return QStringLiteral("the name may not hold a \"..\" part");
    }
    if (parts.last().isEmpty() || parts.last() == ".")
        return QStringLiteral("the name does not end in a file name");
    return QString();
}

QByteArray dropInSuffix(const QByteArray &name)
{
    const QByteArray last = name.mid(name.lastIndexOf('/') + 1);
    const auto dot = last.lastIndexOf('.');
    return dot < 0 ? QByteArray(".yaml") : last.mid(dot);
}

SearchResult findLayerFiles(const SearchPlan &plan)
{
    SearchResult result;
    if (!plan.name.isEmpty()) {
        const QByteArray suffix = dropInSuffix(plan.name);
        findMainFile(plan, result);
        findDropIns(plan, suffix, result);
        if (!plan.userFolder.isEmpty())
            findUserFiles(plan, suffix, result);
    }
    for (const QByteArray &file : plan.files)
        result.files.push_back({file, LayerKind::Given, -1, QByteArray()});
    return result;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
