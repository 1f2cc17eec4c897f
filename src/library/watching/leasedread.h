// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// A watched file's read: under a read lease where the system gives one, so
// that no writer holds it open and none opens it until the read is done;
// elsewhere with what the file's state says, for the watcher to check.
#ifndef PLINTO_YAML_LEASEDREAD_H
#define PLINTO_YAML_LEASEDREAD_H

#include "filepath.h"

#include <QByteArray>
#include <QString>

namespace plinto {
namespace yaml {
namespace detail {

enum class LeasedRead {
    Whole,   // read while no writer had it open, none could open it
    Read,    // read, where the system gives no lease: whole unless told otherwise
    Writing, // a writer has it open, and it is to be waited for
    Missing,
    Failed
};

// Reads the file's bytes. Under a read lease, where the system gives one (the
// file is the process's own, or it may take leases): no writer has the file
// open then, and none can open it until the read is done. Where a writer has
// it open, Writing, unless the file is to be read as it stands. A lease's
// break would signal this process: the signal is one that is ignored unless
// asked for (SIGURG), and none is sent once the lease is held. Read into the
// memory of spare, where it is large enough. Where no lease was held, state
// is the file's as it was read (or as it stood, where it could not be opened).
// Only a regular file is read (and a folder, to say so): the open does not
// wait for a FIFO's writer, nor the read for a device's end.
LeasedRead readLeased(const QByteArray &file, bool asItStands, QByteArray &bytes, QString &why, QByteArray spare,
                      FileState &state);

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_LEASEDREAD_H
