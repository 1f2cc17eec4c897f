// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What is watched: each folder on the way to the file, through the thread's
// notifier; where a folder cannot be watched or does not tell of every
// change, the file is polled.
#include "watcherprivate.h"

namespace plinto {
namespace yaml {

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

} // namespace yaml
} // namespace plinto
