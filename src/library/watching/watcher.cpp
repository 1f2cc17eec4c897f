// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Watcher: the road of a change, a room a stage. The folders on the way to the
// file are watched, or the file polled (way, filepath, notifier); each event
// is sorted by what it says of the file, and the file read when a save is
// whole or a write in place has settled (events); the file is read whole
// (leasedread), compared with what was read before (changes), and the keys
// that differ are reported (report). Here: the public class.
#include "watcherprivate.h"

#include "leasedread.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

namespace plinto {
namespace yaml {

namespace {

Reader parsed(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Reader store;
    store.parse(&buffer);
    return store;
}

} // namespace

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
    if (detail::readLeased(way.file, true, bytes, why, QByteArray(), state) == detail::LeasedRead::Failed) {
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
    d->layered.reset();
    d->layeredName.clear();
    d->watchWay();
    return true;
}

bool Watcher::watch(const Layers &layers, const QString &name)
{
    const QPointer<Watcher> alive(this);
    auto layered = std::make_unique<detail::LayeredWatch>(
            this, [this](const QStringList &keys, const Reader &before) { Q_EMIT entriesChanged(keys, before); },
            [this](const QString &reason) { Q_EMIT readFailed(reason); });
    layered->setSettleTime(d->settling.interval());
    QString why;
    if (!layered->watch(layers, name, why)) {
        d->error = why;
        return false;
    }
    d->unwatchWay();
    d->settling.stop();
    d->processing.stop();
    d->fileName.clear();
    d->store = Reader();
    d->spare = Reader();
    d->bytes.clear();
    d->spareBytes.clear();
    ++d->stores;
    d->layered = std::move(layered);
    d->layeredName = name;
    d->error = d->layered->note();
    return true;
}

Layers Watcher::layers() const
{
    return d->layered ? d->layered->layers() : Layers();
}

QString Watcher::fileName() const
{
    return d->layered ? d->layeredName : d->fileName;
}

Reader Watcher::reader() const
{
    return d->layered ? d->layered->layers().reader() : d->store;
}

QString Watcher::errorString() const
{
    return d->layered && d->error.isEmpty() ? d->layered->note() : d->error;
}

void Watcher::setSettleTime(int milliseconds)
{
    d->settling.setInterval(qMax(0, milliseconds));
    if (d->layered)
        d->layered->setSettleTime(d->settling.interval());
}

int Watcher::settleTime() const
{
    return d->settling.interval();
}

} // namespace yaml
} // namespace plinto
