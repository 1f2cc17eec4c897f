// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Watcher: the road of a change. The folders on the way to the file are
// watched (notifier, filepath); each event is sorted by what it says of the
// file: a save that is complete (a rename into place, a writer's close, a
// link swapped) is read once the events read with it are handed on, a file
// written in place once its writer closes it or it has stayed unchanged for
// the settle time. What is read is compared with what was read before
// (changes), and the keys that differ are reported.
#include <plinto/watcher.h>

#include "changes.h"
#include "filepath.h"
#include "notifier.h"
#include "reading/filebytes.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <cerrno>

#include <map>
#include <vector>

namespace plinto {
namespace yaml {

namespace {

constexpr int pollInterval = 1000; // milliseconds, where no folder can be watched

enum class Read {
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
Read readBytes(const QByteArray &file, bool asItStands, QByteArray &bytes, QString &why, QByteArray spare,
               detail::FileState &state)
{
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        why = qt_error_string(error);
        state = error == ENOENT ? detail::FileState() : detail::fileState(file);
        if (error == EWOULDBLOCK && !asItStands)
            return Read::Writing; // another holds a write lease on it: being written
        return error == ENOENT ? Read::Missing : Read::Failed;
    }
    ::fcntl(fd, F_SETSIG, SIGURG);
    const bool leased = ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0; // which only a regular file takes
    const bool writer = !leased && errno == EAGAIN;
    if (leased) {
        ::fcntl(fd, F_SETOWN, 0);
    } else {
        state = detail::fileState(fd);
        if (state.type != S_IFREG && state.type != S_IFDIR) {
            ::close(fd);
            why = QStringLiteral("it is not a regular file");
            return Read::Failed;
        }
    }
    if (writer && !asItStands) {
        ::close(fd);
        return Read::Writing;
    }
    const detail::FileBytes got = detail::readFileBytes(fd, bytes, why, std::move(spare));
    if (leased)
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
    ::close(fd);
    if (got != detail::FileBytes::Read)
        return Read::Failed;
    return leased ? Read::Whole : Read::Read;
}

Reader parsed(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Reader store;
    store.parse(&buffer);
    return store;
}

} // namespace

class Watcher::Private final : public detail::FolderListener
{
public:
    explicit Private(Watcher *watcher);
    ~Private() { unwatchWay(); }

    void folderChanged(int folder, quint32 mask, const QByteArray &name) override;
    void eventsLost() override;
    void eventsRead() override
    {
        if (processing.isActive()) { // asked for by these events: done now
            processing.stop();
            process();
        }
    }

    // Watches each folder on the way to the file, or polls it where one
    // cannot be watched or does not tell of every change.
    void watchWay();
    void unwatchWay();
    // What the events of a moment asked for: the way followed again, the
    // file read.
    void process();
    // Reads the file and reports the keys that differ, or the failure; or,
    // where a writer has it open and it is not to be read as it stands,
    // waits for that writer.
    void readAndReport(bool landed);
    void poll();
    // Whole as it stands (a rename into place, a link swapped, a file gone),
    // or closed by its writer (whole, unless another writer has it open).
    void soon(bool followAgain, bool landed = true)
    {
        follow = follow || followAgain;
        read = true;
        asItStands = asItStands || landed;
        settling.stop();
        processing.start();
    }
    // Written in place: read once its writer closes it, or it has rested for
    // the settle time; not before, even where a save before it was complete.
    void writing()
    {
        read = false;
        asItStands = false;
        written = true;
        settling.start();
    }

    Watcher *q;
    QString fileName;
    QString error;
    Reader store;
    // What store holds, kept in a map of its own: the next report's changes
    // are made in it, and the store they replace is brought up to date to
    // take its place. A report then costs what changed, not a copy of all.
    Reader spare;
    quint64 stores = 0;    // counts the stores held (a watch(), a report), for a report to know its own
    QByteArray bytes;      // the file as last read, whose store that is
    QByteArray spareBytes; // the memory of the read before it, read into next
    bool failing = false;  // readFailed told of the last read
    detail::FilePath way;
    std::shared_ptr<detail::Notifier> notifier;
    std::map<int, std::vector<QByteArray>> folders; // the watches held, and the folders each is of
    QTimer processing; // at once: once the events read with this one are handed on, else the loop's next turn
    QTimer settling;   // a file written in place, quiet for the settle time
    QTimer polling;
    detail::FileState polled;
    bool pollChanged = false;
    bool follow = false;
    bool read = false;
    bool written = false;    // a write in place was told of
    bool lostWatch = false;  // a folder on the way went, and its watch with it
    bool asItStands = false; // the read asked for is of a file that landed whole
};

Watcher::Private::Private(Watcher *watcher) : q(watcher), processing(watcher), settling(watcher), polling(watcher)
{
    processing.setSingleShot(true);
    processing.setInterval(0);
    settling.setSingleShot(true);
    settling.setInterval(2000);
    polling.setInterval(pollInterval);
    QObject::connect(&processing, &QTimer::timeout, watcher, [this] { process(); });
    QObject::connect(&settling, &QTimer::timeout, watcher, [this] { readAndReport(true); });
    QObject::connect(&polling, &QTimer::timeout, watcher, [this] { poll(); });
}

void Watcher::Private::folderChanged(int folder, quint32 mask, const QByteArray &name)
{
    const auto watched = folders.find(folder);
    if (watched == folders.end())
        return;
    if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) { // a folder on the way is gone
        lostWatch = true;
        soon(true);
        return;
    }
    for (const QByteArray &path : watched->second) {
        const auto names = way.folders.find(path);
        if (names == way.folders.end() || names->second.count(name) == 0)
            continue; // another file of the folder: a lock, a save's new file
        if (path != way.folder || name != way.name) {
            if (mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
                soon(true); // a link on the way made, swapped or gone
            continue;
        }
        if (mask & IN_CLOSE_WRITE) {
            soon(false, false); // closed by its writer
        } else if (mask & (IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM)) {
            soon(false); // renamed into place, or gone
        } else if (mask & IN_CREATE) {
            struct stat status;
            if ((mask & IN_ISDIR) || (::lstat(way.file.constData(), &status) == 0 && S_ISLNK(status.st_mode)))
                soon(true); // a folder or a link, whole as it appears
            else
                writing(); // made to be written in place
        } else if (mask & IN_MODIFY) {
            writing();
        }
    }
}

void Watcher::Private::eventsLost()
{
    soon(true);
}

void Watcher::Private::watchWay()
{
    QString why;
    if (!notifier)
        notifier = detail::Notifier::forThisThread(why);
    bool watched = notifier != nullptr;
    for (const auto &folder : way.folders) {
        if (!notifier)
            break;
        const int watch = notifier->watch(folder.first, this, why);
        if (watch < 0) {
            watched = false; // a folder on the way that is gone, or the system's limit
            continue;
        }
        folders[watch].push_back(folder.first);
    }
    const QByteArray remote = detail::remoteFileSystem(way.folder);
    error.clear();
    if (watched && remote.isEmpty()) {
        polling.stop();
        return;
    }
    if (!watched)
        error = QStringLiteral("%1 cannot be watched (%2): it is polled every second").arg(fileName, why);
    else
        error = QStringLiteral("%1 is on a file system that does not tell of changes made elsewhere (%2): it is "
                               "polled every second as well")
                        .arg(fileName, QString::fromLatin1(remote));
    polled = detail::fileState(way.file);
    pollChanged = false;
    polling.start();
}

void Watcher::Private::unwatchWay()
{
    for (const auto &folder : folders) {
        for (size_t i = 0; i < folder.second.size(); ++i)
            notifier->unwatch(folder.first, this);
    }
    folders.clear();
    polling.stop();
}

void Watcher::Private::process()
{
    if (follow) {
        follow = false;
        detail::FilePath again = detail::followPath(QFile::encodeName(fileName));
        if (again.folders != way.folders || folders.empty() || lostWatch) {
            lostWatch = false;
            unwatchWay();
            way = std::move(again);
            watchWay();
        }
    }
    if (read) {
        read = false;
        const bool landed = asItStands;
        asItStands = false;
        readAndReport(landed);
    }
}

void Watcher::Private::readAndReport(bool landed)
{
    written = false;
    QByteArray fresh;
    QString why;
    detail::FileState state;
    const Read got = readBytes(way.file, landed, fresh, why, std::move(spareBytes), state);
    if (got == Read::Writing) {
        settling.start(); // its close is told, or it rests
        return;
    }
    // Where no lease kept writers out, a file that changed while it was read
    // may be half of a save: what was read is dropped where its state moved,
    // or a write in place was told of meanwhile, and the file read again once
    // the write is done.
    if (got != Read::Whole) {
        if (notifier)
            notifier->readEvents();
        if (written)
            return;
        if (detail::fileState(way.file) != state) {
            soon(false, landed);
            return;
        }
    }
    if (got == Read::Missing || got == Read::Failed) {
        if (!failing) {
            failing = true;
            Q_EMIT q->readFailed(QStringLiteral("cannot read %1: %2").arg(fileName, why));
        }
        return;
    }
    failing = false;
    const QStringList keys = detail::changedKeys(bytes, store, fresh, spare);
    spareBytes = std::move(bytes);
    bytes = std::move(fresh);
    if (keys.isEmpty())
        return; // and spare holds what store holds
    Reader before = std::move(store);
    store = std::move(spare);
    spare = store; // shared while the receivers run: a report they wait for copies it
    const quint64 reported = ++stores;
    const QPointer<Watcher> alive(q);
    Q_EMIT q->entriesChanged(keys, before);
    if (!alive || stores != reported)
        return; // deleted by a receiver, set to watch another file, or reported again meanwhile
    // The store as it was, with the same keys changed, is the next spare
    // (where a receiver kept it, the first change copies it for us).
    for (const QString &key : keys) {
        const auto now = store.entries.constFind(key);
        if (now == store.entries.cend())
            before.entries.remove(key);
        else
            before.entries.insert(key, *now);
    }
    spare = std::move(before);
}

// A poll reads the file once it has stayed as it is for a whole interval.
void Watcher::Private::poll()
{
    const detail::FileState now = detail::fileState(way.file);
    if (now != polled) {
        polled = now;
        pollChanged = true;
        return;
    }
    if (pollChanged || folders.empty()) {
        pollChanged = false;
        soon(true); // and a folder that came back is watched again
    }
}

Watcher::Watcher(QObject *parent) : QObject(parent), d(std::make_unique<Private>(this))
{
    qRegisterMetaType<plinto::yaml::Reader>("plinto::yaml::Reader");
}

Watcher::~Watcher() = default;

bool Watcher::watch(const QString &fileName)
{
    detail::FilePath way = detail::followPath(QFile::encodeName(fileName));
    if (!way.folderExists) {
        // The folder as named, where no link leads elsewhere.
        const QFileInfo given(fileName);
        const QString folder
                = QFile::encodeName(given.absolutePath()) == way.folder ? given.path() : QFile::decodeName(way.folder);
        d->error = QStringLiteral("cannot watch %1: its folder %2 does not exist").arg(fileName, folder);
        return false;
    }
    QByteArray bytes;
    QString why;
    detail::FileState state;
    if (readBytes(way.file, true, bytes, why, QByteArray(), state) == Read::Failed) {
        d->error = QStringLiteral("cannot read %1: %2").arg(fileName, why);
        return false;
    }
    d->unwatchWay();
    d->settling.stop();
    d->processing.stop();
    d->fileName = fileName;
    d->way = std::move(way);
    d->bytes = bytes;
    d->store = parsed(bytes);
    d->spare = d->store;
    d->spare.entries.detach();
    d->spareBytes = QByteArray();
    ++d->stores;
    d->failing = false;
    d->follow = false;
    d->read = false;
    d->watchWay();
    return true;
}

QString Watcher::fileName() const
{
    return d->fileName;
}

Reader Watcher::reader() const
{
    return d->store;
}

QString Watcher::errorString() const
{
    return d->error;
}

void Watcher::setSettleTime(int milliseconds)
{
    d->settling.setInterval(qMax(0, milliseconds));
}

int Watcher::settleTime() const
{
    return d->settling.interval();
}

} // namespace yaml
} // namespace plinto
