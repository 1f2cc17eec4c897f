// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The read and the report: the file read whole (never half of a save), what
// differs from the last read found (changes), and the keys that changed told,
// with the store as it was.
#include "watcherprivate.h"

#include "changes.h"
#include "leasedread.h"

#include <QPointer>

namespace plinto {
namespace yaml {

void Watcher::Private::readAndReport(bool landed)
{
    written = false;
    QByteArray fresh;
    QString why;
    detail::FileState state;
    const detail::LeasedRead got = detail::readLeased(way.file, landed, fresh, why, std::move(spareBytes), state);
    if (got == detail::LeasedRead::Writing) {
        settling.start(); // its close is told, or it rests
        return;
    }
    // Where no lease kept writers out, a file that changed while it was read
    // may be half of a save: what was read is dropped where its state moved,
    // or a write in place was told of meanwhile, and the file read again once
    // the write is done.
    if (got != detail::LeasedRead::Whole) {
        if (notifier)
            notifier->readEvents();
        if (written)
            return;
        if (detail::fileState(way.file) != state) {
            soon(false, landed);
            return;
        }
    }
    if (got == detail::LeasedRead::Missing || got == detail::LeasedRead::Failed) {
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

} // namespace yaml
} // namespace plinto
