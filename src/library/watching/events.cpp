// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// When to read: what each event says of the watched file. A save that is
// whole as it lands (a rename into place, a link swapped, a file gone) or a
// writer's close is read once the events read with it are handed on; a file
// written in place is read when its writer closes it, or once it has rested
// for the settle time; a change on the way has the way followed again.
#include "watcherprivate.h"

#include <QFile>

#include <sys/inotify.h>
#include <sys/stat.h>

namespace plinto {
namespace yaml {

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

} // namespace yaml
} // namespace plinto
