// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// A watched file's read: open without waiting, a read lease taken, the bytes
// read, the lease let go.
#include "leasedread.h"

#include "reading/filebytes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace plinto {
namespace yaml {
namespace detail {

LeasedRead readLeased(const QByteArray &file, bool asItStands, QByteArray &bytes, QString &why, QByteArray spare,
                      FileState &state)
{
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        why = qt_error_string(error);
        state = error == ENOENT ? FileState() : fileState(file);
        if (error == EWOULDBLOCK && !asItStands)
            return LeasedRead::Writing; // another holds a write lease on it: being written
        return error == ENOENT ? LeasedRead::Missing : LeasedRead::Failed;
    }
    ::fcntl(fd, F_SETSIG, SIGURG);
    const bool leased = ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0; // which only a regular file takes
    const bool writer = !leased && errno == EAGAIN;
    if (leased) {
        ::fcntl(fd, F_SETOWN, 0);
    } else {
        state = fileState(fd);
        if (state.type != S_IFREG && state.type != S_IFDIR) {
            ::close(fd);
            why = QStringLiteral("it is not a regular file");
            return LeasedRead::Failed;
        }
    }
    if (writer && !asItStands) {
        ::close(fd);
        return LeasedRead::Writing;
    }
    const FileBytes got = readFileBytes(fd, bytes, why, std::move(spare));
    if (leased)
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
    ::close(fd);
    if (got != FileBytes::Read)
        return LeasedRead::Failed;
    return leased ? LeasedRead::Whole : LeasedRead::Read;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
