// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// A whole file's bytes, for the editor, which keeps them, and the watcher:
// read to the file's real end, into memory that costs little to touch.
#ifndef PLINTO_YAML_FILEBYTES_H
#define PLINTO_YAML_FILEBYTES_H

#include <QByteArray>
#include <QString>

namespace plinto {
namespace yaml {
namespace detail {

// A whole file's bytes, for the editor, which keeps them.
enum class FileBytes {
    Read,    // bytes holds the file, read to its real end
    Missing, // the file does not exist (a dangling link neither)
    Failed   // why says why; bytes as they were
};
FileBytes readFileBytes(const QString &fileName, QByteArray &bytes, QString &why);
// The same from a descriptor open for reading (never Missing), read into the
// memory of spare where that is its own (what it holds is lost), grown where
// the file is larger: a file read again and again is then not faulted into
// new memory each time. knownSize, where the caller has the regular file's
// size: a read that brings exactly that many bytes is the last one.
FileBytes readFileBytes(int descriptor, QByteArray &bytes, QString &why, QByteArray spare = QByteArray(),
                        qint64 knownSize = -1);

// Asks for the memory, not yet touched, to be faulted in huge pages where the
// system has them (a hint: nothing changes where it does not).
void adviseHugePages(char *data, size_t size);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_FILEBYTES_H
