// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The lock of a save: QLockFile, waited for a bounded time; a lock left empty
// by a holder (or a remover of a dead holder's lock) that died is taken over,
// a live holder never broken, and named where it is waited for in vain.
#include "lock.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>

#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

constexpr int lockWaitSeconds = 5;

// A holder writes its process id within microseconds of creating the lock
// file, and holds the file's flock from then on; an empty lock file that no
// process holds and that is older than this was left by one that died.
constexpr int abandonedAfterSeconds = 1;

// QLockFile removes a dead holder's lock under a second lock, FILE.lock.rmlock
// (and that one, if its own holder died, under FILE.lock.rmlock.rmlock, ...).
// A remover killed between creating such a file and writing its id into it
// leaves it empty, which Qt takes over only once it is 30 seconds old. Each
// remover killed at work leaves one more: the chain is followed this far.
constexpr int removerLevels = 32;
const QLatin1String removerSuffix(".rmlock");

// Removes an empty lock file that no process holds, as QLockFile removes a
// stale one: under the file's own flock, and only the file looked at.
bool takeOverAbandoned(const QString &lockPath)
{
    const QByteArray name = QFile::encodeName(lockPath);
    struct stat before;
    timespec now;
    if (::stat(name.constData(), &before) != 0 || before.st_size != 0 || ::clock_gettime(CLOCK_REALTIME, &now) != 0)
        return false;
    const auto nanoseconds = [](const timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; };
    if (nanoseconds(now) - nanoseconds(before.st_mtim) < qint64(abandonedAfterSeconds) * 1000000000)
        return false;
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat held;
    const bool abandoned = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && held.st_size == 0
            && held.st_ino == before.st_ino && held.st_dev == before.st_dev && ::unlink(name.constData()) == 0;
    ::close(fd);
    return abandoned;
}

// The lock, or a remover's lock in front of it, left empty by a process that
// died: taken over.
bool takeOverAnyAbandoned(const QString &lockPath)
{
    QString path = lockPath;
    for (int level = 0; level < removerLevels && QFileInfo::exists(path); ++level, path += removerSuffix) {
        if (takeOverAbandoned(path))
            return true;
    }
    return false;
}

// Who holds a lock file, as its holder wrote it.
struct Holder
{
    bool known = false;
    qint64 pid = 0;
    QString host;
    QString application;
    bool running = true; // as far as this host can tell
};

Holder holderOf(const QString &lockPath)
{
    Holder holder;
    QLockFile lock(lockPath);
    holder.known = lock.getLockInfo(&holder.pid, &holder.host, &holder.application);
    if (holder.known && holder.pid > 0 && holder.host == QSysInfo::machineHostName())
        holder.running = ::kill(pid_t(holder.pid), 0) == 0 || errno == EPERM;
    return holder;
}

QString describe(const Holder &holder)
{
    if (!holder.known)
        return QStringLiteral("another program");
    return QStringLiteral("process %1 (%2) on %3").arg(QString::number(holder.pid), holder.application, holder.host);
}

// Why the lock cannot be had: its holder, or, where that one has ended, the
// remover's lock that keeps it from being taken over.
QString whatBlocks(const QString &lockPath)
{
    const Holder holder = holderOf(lockPath);
    if (holder.running)
        return QStringLiteral("the file is locked by %1 (%2)").arg(describe(holder), lockPath);
    // The first remover's lock whose holder runs, or the last one there is.
    QString remover = lockPath + removerSuffix;
    for (int level = 1;
         level < removerLevels && QFileInfo::exists(remover + removerSuffix) && !holderOf(remover).running; ++level)
        remover += removerSuffix;
    if (!QFileInfo::exists(remover))
        return QStringLiteral("the lock %1 of %2, which has ended, cannot be removed").arg(lockPath, describe(holder));
    const Holder removing = holderOf(remover);
    return QStringLiteral("the lock %1 of %2, which has ended, is being removed under %3 by %4")
            .arg(lockPath, describe(holder), remover,
                 removing.known ? describe(removing) : QStringLiteral("a process that has not written its id"));
}

} // namespace

SaveLock::SaveLock(const QString &file) : m_path(file + QStringLiteral(".lock")), m_lock(m_path)
{
    m_lock.setStaleLockTime(0); // never for its age: a holder may be slow, or stopped
}

bool SaveLock::lock(QString &why)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(lockWaitSeconds);
    for (;;) {
        if (m_lock.tryLock(0))
            return true;
        if (m_lock.error() != QLockFile::LockFailedError) {
            why = QStringLiteral("cannot create the lock file %1%2")
                          .arg(m_path,
                               m_lock.error() == QLockFile::PermissionError
                                       ? QStringLiteral(": the folder cannot be written")
                                       : QString());
            return false;
        }
        if (takeOverAnyAbandoned(m_path))
            continue;
        if (std::chrono::steady_clock::now() >= giveUp) {
            why = QStringLiteral("%1: gave up after %2 s").arg(whatBlocks(m_path), QString::number(lockWaitSeconds));
            return false;
        }
        QThread::msleep(20);
    }
}

} // namespace detail
} // namespace yaml
} // namespace plinto
