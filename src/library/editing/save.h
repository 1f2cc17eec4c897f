// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The save: the file read again under its lock (lock.h), and the new bytes
// written beside the file and renamed over it, each step made durable.
#ifndef PLINTO_YAML_SAVE_H
#define PLINTO_YAML_SAVE_H

#include "reading/syntax.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

// The file that a save of fileName writes: symbolic links followed, so that a
// link stays a link.
QString fileToWrite(const QString &fileName);

// Reads the file as it is now. False with why when it cannot be read or is no
// regular file. Else sets changed when it holds other bytes than loaded (a
// missing file holds none), and then now to the bytes it holds.
bool readAgain(const QString &file, const QByteArray &loaded, QByteArray &now, bool &changed, QString &why);

// Writes the pieces as the file's new bytes: a new file beside it, synced,
// renamed over it (keeping its permission bits), then the folder synced.
// False with why on any failure, which leaves the file as it was, but for a
// failed sync of the folder, when the new file is in place already.
bool writeAtomically(const QString &file, const std::vector<Bytes> &pieces, QString &why);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_SAVE_H
