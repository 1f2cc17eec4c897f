// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// A whole file's bytes: plain reads on the descriptor, so that a failure says
// why, into a buffer in huge pages where the system has them.
#include "filebytes.h"

#include <QFile>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <new>

namespace plinto {
namespace yaml {
namespace detail {

void adviseHugePages(char *data, size_t size)
{
    // Where the system has them (transparent huge pages, "madvise"), memory
    // not yet touched is then faulted in 2 MiB at a time: on a virtual
    // machine, touching a large buffer in 4 KiB pages costs many times more.
    constexpr size_t huge = size_t(2) << 20;
    const size_t begin = (size_t(data) + huge - 1) & ~(huge - 1);
    const size_t end = (size_t(data) + size) & ~(huge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

// Plain reads on the descriptor, so that a failure says why (errno), into a
// buffer of the file's size, grown for files that report none (pipes, /proc).
FileBytes readFileBytes(const QString &fileName, QByteArray &bytes, QString &why)
{
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return FileBytes::Missing;
    if (fd < 0) {
        why = qt_error_string(errno);
        return FileBytes::Failed;
    }
    const FileBytes read = readFileBytes(fd, bytes, why);
    ::close(fd);
    return read;
}

FileBytes readFileBytes(int fd, QByteArray &bytes, QString &why, QByteArray spare, qint64 knownSize)
{
    int error = 0;
    using Size = decltype(QByteArray().size()); // int on Qt 5
    constexpr qint64 largest = std::numeric_limits<Size>::max() / 2;
    QByteArray read;
    try {
        if (spare.isDetached() && spare.capacity() > std::max<qint64>(knownSize, 0)) {
            // As large as the file was when last read (or larger): mostly
            // large enough, and grown below where it is not.
            read.swap(spare);
            read.resize(read.capacity());
        } else {
            struct stat status;
            const qint64 size = knownSize >= 0 ? knownSize : ::fstat(fd, &status) == 0 ? qint64(status.st_size) : 0;
            if (size >= largest)
                throw std::bad_alloc();
            read.resize(Size(std::max<qint64>(size + 1, 1 << 16)));
            adviseHugePages(read.data(), size_t(read.size()));
        }
        qint64 filled = 0;
        while (error == 0 && !(filled > 0 && filled == knownSize)) {
            if (filled == read.size() && read.size() >= largest)
                throw std::bad_alloc();
            if (filled == read.size()) {
                read.resize(read.size() * 2);
                adviseHugePages(read.data() + filled, size_t(read.size() - filled));
            }
            const ssize_t got = ::read(fd, read.data() + filled, size_t(read.size() - filled));
            if (got > 0)
                filled += got;
            else if (got == 0)
                break;
            else if (errno != EINTR)
                error = errno;
        }
        read.resize(Size(filled));
    } catch (const std::bad_alloc &) {
        error = ENOMEM;
    }
    if (error != 0) {
        why = error == ENOMEM ? QStringLiteral("the file is too large for memory") : qt_error_string(error);
        return FileBytes::Failed;
    }
    bytes = std::move(read);
    return FileBytes::Read;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
