// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// What a Watcher holds: the file's way and its watches, the store and the
// bytes it was read from, the timers of when to read. Shared by the rooms of
// the watching road: events (when to read), way (what is watched, or polled),
// report (the read and the report), watcher (the public class).
#ifndef PLINTO_YAML_WATCHERPRIVATE_H
#define PLINTO_YAML_WATCHERPRIVATE_H

#include <plinto/watcher.h>

#include "filepath.h"
#include "layeredwatch.h"
#include "notifier.h"

#include <QTimer>

#include <map>
#include <memory>
#include <vector>

namespace plinto {
namespace yaml {

constexpr int pollInterval = 1000; // milliseconds, where no folder can be watched

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
    // Where a layered configuration is watched in place of one file.
    std::unique_ptr<detail::LayeredWatch> layered;
    QString layeredName;
};

} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_WATCHERPRIVATE_H
