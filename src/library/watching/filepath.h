// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The way to a watched file: the names a path goes through, symbolic links
// followed, and so the folders to watch and the names in them that matter;
// and, where no folder can be watched, what a poll compares.
#ifndef PLINTO_YAML_FILEPATH_H
#define PLINTO_YAML_FILEPATH_H

#include <QByteArray>

#include <map>
#include <set>

namespace plinto {
namespace yaml {
namespace detail {

struct FilePath
{
    QByteArray file;   // the file itself, every link on the way followed
    QByteArray folder; // its folder, and its name there
    QByteArray name;
    // Each folder on the way with the names in it that matter: the file's,
    // and those of the symbolic links followed to it (a link to the file, a
    // link to a folder on the way, as Kubernetes swaps "..data").
    std::map<QByteArray, std::set<QByteArray>> folders;
    bool folderExists = false; // the file's folder is there
};

// The way to the file that the path names (relative to the working folder,
// or absolute), in the file system's own bytes.
FilePath followPath(const QByteArray &path);

// What a poll compares: a file's identity, size and times, or that it is not
// there, through every link.
struct FileState
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds
    qint64 changed = 0;
    quint32 type = 0; // the file type bits of its mode (S_IFREG, S_IFDIR...)
    bool operator==(const FileState &other) const;
    bool operator!=(const FileState &other) const { return !(*this == other); }
};
FileState fileState(const QByteArray &path);
// The same of a file open as descriptor.
FileState fileState(int descriptor);

// The file system of the folder does not tell of changes made elsewhere (a
// network file system, FUSE): its name, else empty.
QByteArray remoteFileSystem(const QByteArray &folder);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_FILEPATH_H
