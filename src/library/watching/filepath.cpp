// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The way to a watched file, walked a name at a time as the system would, so
// that every symbolic link on it is seen; the state a poll compares; the file
// systems that tell of no change made elsewhere.
#include "filepath.h"

#include <QFile>

#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <deque>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

constexpr int mostLinks = 40; // as the system follows them

// The path's names, in order, '.' and empty ones left out.
std::deque<QByteArray> namesOf(const QByteArray &path)
{
    std::deque<QByteArray> names;
    for (const QByteArray &name : path.split('/')) {
        if (!name.isEmpty() && name != ".")
            names.push_back(name);
    }
    return names;
}

QByteArray joined(const QByteArray &folder, const QByteArray &name)
{
    return folder == "/" ? "/" + name : folder + '/' + name;
}

QByteArray parentOf(const QByteArray &folder)
{
    const auto slash = folder.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : folder.left(slash);
}

QByteArray linkTarget(const QByteArray &link)
{
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t size = ::readlink(link.constData(), target.data(), size_t(target.size()));
    return size > 0 ? target.left(decltype(target.size())(size)) : QByteArray();
}

} // namespace

FilePath followPath(const QByteArray &path)
{
    FilePath way;
    QByteArray start = path;
    if (!start.startsWith('/')) {
        QByteArray here(4096, Qt::Uninitialized);
        start = (::getcwd(here.data(), size_t(here.size())) ? QByteArray(here.constData()) : QByteArray("/")) + '/'
                + start;
    }
    std::deque<QByteArray> names = namesOf(start);
    QByteArray folder = "/";
    for (int links = 0; !names.empty();) {
        const QByteArray name = names.front();
        names.pop_front();
        if (name == "..") {
            folder = parentOf(folder);
            continue;
        }
        const QByteArray here = joined(folder, name);
        struct stat status;
        const bool isLink = ::lstat(here.constData(), &status) == 0 && S_ISLNK(status.st_mode);
        if (names.empty() || isLink)
            way.folders[folder].insert(name); // the file, or a link on the way: its name matters
        if (!isLink || ++links > mostLinks) {
            if (names.empty()) {
                way.folder = folder;
                way.name = name;
            }
            folder = here;
            continue;
        }
        const QByteArray target = linkTarget(here);
        std::deque<QByteArray> rest = namesOf(target);
        rest.insert(rest.end(), names.begin(), names.end());
        names = std::move(rest);
        if (target.startsWith('/'))
            folder = "/";
    }
    way.file = joined(way.folder, way.name);
    struct stat status;
    way.folderExists = ::stat(way.folder.constData(), &status) == 0 && S_ISDIR(status.st_mode);
    return way;
}

bool FileState::operator==(const FileState &other) const
{
    return exists == other.exists && device == other.device && inode == other.inode && size == other.size
            && modified == other.modified && changed == other.changed && type == other.type;
}

namespace {

FileState stateOf(const struct stat &status)
{
    FileState state;
    state.exists = true;
    state.device = quint64(status.st_dev);
    state.inode = quint64(status.st_ino);
    state.size = qint64(status.st_size);
    state.modified = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    state.changed = qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
    state.type = quint32(status.st_mode & S_IFMT);
    return state;
}

} // namespace

FileState fileState(const QByteArray &path)
{
    struct stat status;
    return ::stat(path.constData(), &status) == 0 ? stateOf(status) : FileState();
}

FileState fileState(int descriptor)
{
    struct stat status;
    return ::fstat(descriptor, &status) == 0 ? stateOf(status) : FileState();
}

QByteArray remoteFileSystem(const QByteArray &folder)
{
    struct statfs system;
    if (::statfs(folder.constData(), &system) != 0)
        return QByteArray();
    switch (quint32(system.f_type)) {
    case 0x6969:
        return "nfs";
    case 0x517B:
        return "smb";
    case 0xFF534D42:
        return "cifs";
    case 0xFE534D42:
        return "smb2";
    case 0x65735546:
        return "fuse";
    case 0x01021997:
        return "9p";
    case 0x00C36400:
        return "ceph";
    case 0x5346414F:
        return "afs";
    case 0x73757245:
        return "coda";
    }
    return QByteArray();
}

} // namespace detail
} // namespace yaml
} // namespace plinto
