// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The save: the file read again under its lock (lock); QSaveFile for the
// write and the rename, with syncs of the new file and of its folder that
// report their failures (QSaveFile ignores those of its own sync).
#include "save.h"

#include "reading/filebytes.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

QByteArray nativeName(const QString &file)
{
    return QFile::encodeName(file);
}

bool syncFolder(const QString &file)
{
    const int fd = ::open(nativeName(QFileInfo(file).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

} // namespace

QString fileToWrite(const QString &fileName)
{
    QString file = fileName;
    for (int links = 0; links < 40; ++links) {
        const QFileInfo info(file);
        if (!info.isSymLink())
            break;
        file = info.symLinkTarget();
    }
    return file;
}

bool readAgain(const QString &file, const QByteArray &loaded, QByteArray &now, bool &changed, QString &why)
{
    const QByteArray name = nativeName(file);
    // Without waiting: a FIFO (loaded while a writer fed it) is refused below,
    // not waited on for another writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT) {
        changed = !loaded.isEmpty();
        now.clear();
        return true;
    }
    struct stat status;
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        why = qt_error_string(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        why = QStringLiteral("it is not a regular file, which a save would replace");
        return false;
    }
    // Compared a block at a time, so that an unchanged file takes no memory.
    changed = qint64(status.st_size) != qint64(loaded.size());
    char block[1 << 16];
    for (qint64 at = 0; !changed;) {
        const ssize_t got = ::pread(fd, block, sizeof block, off_t(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            why = qt_error_string(errno);
            ::close(fd);
            return false;
        }
        changed = got == 0
                ? at != qint64(loaded.size())
                : at + got > qint64(loaded.size()) || std::memcmp(block, loaded.constData() + at, size_t(got)) != 0;
        if (got == 0)
            break;
        at += got;
    }
    ::close(fd);
    if (!changed)
        return true;
    switch (readFileBytes(file, now, why)) {
    case FileBytes::Read:
        return true;
    case FileBytes::Missing: // gone since
        now.clear();
        return true;
    case FileBytes::Failed:
        break;
    }
    return false;
}

bool writeAtomically(const QString &file, const std::vector<Bytes> &pieces, QString &why)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        why = QStringLiteral("cannot create a new file beside it: %1").arg(out.errorString());
        return false;
    }
    for (const Bytes piece : pieces) {
        errno = 0;
        if (out.write(piece.data(), qint64(piece.size())) != qint64(piece.size())) {
            // Qt says "Unknown error" where the system said why.
            why = QStringLiteral("cannot write it: %1").arg(errno != 0 ? qt_error_string(errno) : out.errorString());
            return false; // the new file goes with out
        }
    }
    if (::fsync(out.handle()) != 0) {
        why = QStringLiteral("cannot write it: %1").arg(qt_error_string(errno));
        return false;
    }
    if (!out.commit()) {
        why = QStringLiteral("cannot replace it: %1").arg(out.errorString());
        return false;
    }
    if (!syncFolder(file)) {
        why = QStringLiteral(
                      "the change is written, but syncing its folder failed (%1): it may not survive a power cut")
                      .arg(qt_error_string(errno));
        return false;
    }
    return true;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
