// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Which files a layered configuration is made of: each name looked at with
// lstat and readdir, in the file system's bytes, drop-ins sorted by bytes.
#include "search.h"

#include <QFile>
#include <QList>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// What a name in a folder is, to the rule.
enum class Kind {
    Missing, // not there
    File,    // a regular file or the null device: read, or a mask
    Folder,  // a folder, or a link to one
    Fault    // there, but no file that can be read: why says why
};

struct Found
{
    Kind kind = Kind::Missing;
    bool link = false;
    QString why; // Fault: why it cannot be read
};

// The name in the folder open as at (AT_FDCWD: a path), links followed.
Found lookAt(int at, const char *name)
{
    struct stat status;
    if (::fstatat(at, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return {Kind::Fault, false, qt_error_string(errno)};
    }
    const bool link = S_ISLNK(status.st_mode);
    if (link && ::fstatat(at, name, &status, 0) != 0)
        return {Kind::Fault, true,
                errno == ENOENT ? QStringLiteral("a dangling symbolic link") : qt_error_string(errno)};
    if (S_ISDIR(status.st_mode))
        return {Kind::Folder, link, QStringLiteral("it is a folder")};
    if (!S_ISREG(status.st_mode) && !isNullDevice(status))
        return {Kind::Fault, link, QStringLiteral("it is not a regular file")};
    return {Kind::File, link, QString()};
}

// The same from the type a folder's listing gives, where it gives one: a
// regular file or a folder needs no look.
Found lookAt(int at, const dirent &entry)
{
    switch (entry.d_type) {
    case DT_REG:
        return {Kind::File, false, QString()};
    case DT_DIR:
        return {Kind::Folder, false, QString()};
    case DT_FIFO:
    case DT_SOCK:
    case DT_BLK:
        return {Kind::Fault, false, QStringLiteral("it is not a regular file")};
    default: // a link, a character device (the null device?), or a type not told
        return lookAt(at, entry.d_name);
    }
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

// One copy of a name, in the search folder it is in.
struct Candidate
{
    int folder = -1;
    int folderFd = AT_FDCWD; // a drop-in's folder
    QByteArray path;
    Found found;
};
using Names = std::map<QByteArray, std::vector<Candidate>, decltype(&bytesBefore)>;

// The drop-ins of one NAME.d/ folder, each a candidate for its name; the
// other names of the folder are skipped, with why. A folder that cannot be
// read is a fault of the search.
void listDropIns(const QByteArray &folderPath, int folder, const QByteArray &suffix, Names &names, SearchResult &result)
{
    result.folders.emplace_back(::opendir(folderPath.constData()), &::closedir);
    DIR *const dir = result.folders.back().get();
    if (!dir) {
        if (errno != ENOENT && errno != ENOTDIR)
            fail(result, folderPath, qt_error_string(errno));
        result.folders.pop_back();
        return;
    }
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
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
        const Found found = lookAt(::dirfd(dir), *entry);
        if (found.kind == Kind::Folder)
            result.skipped.push_back({path, QStringLiteral("not a drop-in: a folder")});
        else if (found.kind != Kind::Missing)
            names[name].push_back({folder, ::dirfd(dir), path, found});
    }
}

// The copy that wins, first of the candidates, to be read (or to mask, as
// its read will tell); the others below it. False for one that cannot be read.
bool win(const std::vector<Candidate> &candidates, LayerKind kind, const QByteArray &dropInName, SearchResult &result)
{
    const Candidate &winner = candidates.front();
    if (winner.found.kind != Kind::File) {
        fail(result, winner.path, winner.found.why);
        return false;
    }
    LayerFile file;
    file.kind = kind;
    file.dropInName = dropInName;
    file.path = winner.path;
    file.folder = winner.folder;
    file.folderFd = winner.folderFd;
    file.link = winner.found.link;
    for (size_t i = 1; i < candidates.size(); ++i)
        file.below.push_back(candidates[i].path);
    result.files.push_back(std::move(file));
    return true;
}

// The main file: the highest folder's wins.
void findMainFile(const SearchPlan &plan, SearchResult &result)
{
    std::vector<Candidate> held;
    for (size_t i = 0; i < plan.folders.size(); ++i) {
        const QByteArray path = joined(plan.folders[i], plan.name);
        const Found found = lookAt(AT_FDCWD, path.constData());
        if (found.kind != Kind::Missing)
            held.push_back({int(i), AT_FDCWD, path, found});
    }
    if (!held.empty())
        win(held, LayerKind::Main, QByteArray(), result);
}

// Every folder's drop-ins, by name: the highest folder's copy of a name wins;
// the names read in byte order.
void findDropIns(const SearchPlan &plan, const QByteArray &suffix, SearchResult &result)
{
    Names names(&bytesBefore);
    for (size_t i = 0; i < plan.folders.size(); ++i)
        listDropIns(joined(plan.folders[i], plan.name + ".d"), int(i), suffix, names, result);
    for (const auto &name : names)
        win(name.second, LayerKind::DropIn, name.first, result);
}

// The user's file, then its drop-ins in byte order.
void findUserFiles(const SearchPlan &plan, const QByteArray &suffix, SearchResult &result)
{
    const QByteArray mainPath = joined(plan.userFolder, plan.name);
    const Found main = lookAt(AT_FDCWD, mainPath.constData());
    if (main.kind != Kind::Missing)
        win({{-1, AT_FDCWD, mainPath, main}}, LayerKind::UserMain, QByteArray(), result);
    Names names(&bytesBefore);
    listDropIns(joined(plan.userFolder, plan.name + ".d"), -1, suffix, names, result);
    for (const auto &name : names)
        win(name.second, LayerKind::UserDropIn, name.first, result);
}

} // namespace

bool isNullDevice(const struct stat &status)
{
    return S_ISCHR(status.st_mode) && major(status.st_rdev) == 1 && minor(status.st_rdev) == 3;
}

bool bytesBefore(const QByteArray &a, const QByteArray &b)
{
    const int order = std::memcmp(a.constData(), b.constData(), size_t(std::min(a.size(), b.size())));
    return order != 0 ? order < 0 : a.size() < b.size();
}

namespace {

// The folder with the root in front of it.
QByteArray rooted(const QString &root, const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (root.isEmpty())
        return path;
    QByteArray top = QFile::encodeName(root);
    while (top.size() > 1 && top.endsWith('/'))
        top.chop(1);
    return path.startsWith('/') || top.endsWith('/') ? top + path : top + '/' + path;
}

// The user's folder: $XDG_CONFIG_HOME, else $HOME/.config, or none.
QByteArray userFolder(const QString &root)
{
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    if (configHome.startsWith('/'))
        return rooted(root, QFile::decodeName(configHome));
    const QByteArray home = qgetenv("HOME");
    if (!home.startsWith('/'))
        return QByteArray(); // no home, no user's layer
    return rooted(root, QFile::decodeName(home + "/.config"));
}

} // namespace

bool planFor(const QStringList &searchPath, const QString &root, bool user, const QStringList &files,
             const QString &name, SearchPlan &plan, QString &why)
{
    plan = SearchPlan();
    plan.name = QFile::encodeName(name);
    if (!name.isEmpty() || files.isEmpty()) {
        const QString problem = nameProblem(plan.name);
        if (!problem.isEmpty()) {
            why = QStringLiteral("cannot load the configuration \"%1\": %2").arg(name, problem);
            return false;
        }
    }
    for (const QString &folder : searchPath)
        plan.folders.push_back(rooted(root, folder));
    if (user && !name.isEmpty())
        plan.userFolder = userFolder(root);
    for (const QString &file : files)
        plan.files.push_back(QFile::encodeName(file));
    return true;
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
    for (const QByteArray &path : plan.files) {
        LayerFile given;
        given.path = path;
        given.kind = LayerKind::Given;
        result.files.push_back(given);
    }
    return result;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
