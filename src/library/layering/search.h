// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Which files a layered configuration is made of, and in which order: the
// UAPI.6 rule (main file, drop-ins, which copy of a name wins) over the search
// folders, then the user's layer and the files given. Only names and file
// types are looked at here; whether a winner masks (it is empty, or the null
// device) is seen as it is opened to be read.
#ifndef PLINTO_YAML_SEARCH_H
#define PLINTO_YAML_SEARCH_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace plinto {
namespace yaml {
namespace detail {

// Where a configuration is looked for. Paths are the file system's bytes.
struct SearchPlan
{
    QByteArray name;                 // relative, checked by nameProblem
    std::vector<QByteArray> folders; // highest precedence first, the root already in front
    QByteArray userFolder;           // empty: no user's layer
    std::vector<QByteArray> files;   // given by the caller, read last, in this order
};

// What a file read is, in its configuration.
enum class LayerKind {
    Main,       // NAME in a search folder
    DropIn,     // NAME.d/x in a search folder
    UserMain,   // NAME in the user's folder
    UserDropIn, // NAME.d/x there
    Given       // a file given by the caller
};

struct LayerFile
{
    QByteArray path;
    LayerKind kind = LayerKind::Main;
    int folder = -1;         // the search folder it is in, or -1
    QByteArray dropInName;   // its name in NAME.d/, for a drop-in
    bool link = false;       // a symbolic link
    int folderFd = AT_FDCWD; // a drop-in: its folder, open as long as the search's result
    // Main and DropIn: the same name in lower folders, which this one
    // overrides (or masks, where it is empty or the null device).
    std::vector<QByteArray> below;
    // It masks where it is empty or the null device (Main and DropIn).
    bool masks() const { return kind == LayerKind::Main || kind == LayerKind::DropIn; }
};

// A file found that is not read, and why ("overridden by /etc/x").
struct SkippedFile
{
    QByteArray path;
    QString reason;
};

// The folders a search listed, open.
using OpenFolders = std::vector<std::unique_ptr<DIR, int (*)(DIR *)>>;

struct SearchResult
{
    OpenFolders folders;
    std::vector<LayerFile> files;     // in the order they are read
    std::vector<SkippedFile> skipped; // names in drop-in folders that are no drop-ins
    QString error;                    // a file to read that cannot be read (a folder, a FIFO, a dangling link...)
};

// The plan of the configuration NAME: each search folder with the root in
// front of it, the user's folder where asked for ($XDG_CONFIG_HOME, else
// $HOME/.config; none where neither is absolute), the files given. Empty
// when the name cannot name one (why says why), unless it is empty and files
// are given.
bool planFor(const QStringList &searchPath, const QString &root, bool user, const QStringList &files,
             const QString &name, SearchPlan &plan, QString &why);

// Why the name cannot name a configuration (absolute, empty, a ".." part, a
// NUL byte, no file name at its end); empty when it can.
QString nameProblem(const QByteArray &name);

// The suffix a drop-in's name ends in: from the last dot of the name's last
// part on, ".yaml" where it has none.
QByteArray dropInSuffix(const QByteArray &name);

// Finds the files of the plan. A file to be read that is a folder, a FIFO, a
// device other than the null device or a dangling link sets error. Nothing is
// opened but folders; a regular file in a drop-in folder is not even looked
// at, where the folder says what it is.
SearchResult findLayerFiles(const SearchPlan &plan);

// The null device (/dev/null), by its numbers.
bool isNullDevice(const struct stat &status);

// Byte order, as strcmp orders, never the locale's.
bool bytesBefore(const QByteArray &a, const QByteArray &b);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_SEARCH_H
