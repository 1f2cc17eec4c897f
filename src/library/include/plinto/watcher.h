// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Watcher: tells a program when an entry file it reads changes, key by key,
// however the file is saved. Included by <plinto/yaml.h>.
//
// The watch follows the file's name, not the file: a save that renames a new
// file over the old one (as Editor, tarnwick-set, sed -i and most editors
// save), one that writes in place, a delete and a later return, a symbolic
// link whose target is saved or swapped for another all keep it going. A
// report never holds a file read half-written, and a file that goes away
// keeps the last store: the configuration is never emptied by a save.
#ifndef PLINTO_YAML_WATCHER_H
#define PLINTO_YAML_WATCHER_H

#include <plinto/yaml.h>

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace plinto {
namespace yaml {

class Layers; // <plinto/layers.h>, which <plinto/yaml.h> includes

// Threads: a Watcher belongs to the thread it lives in, which must run an
// event loop; its signals come from there. All the watchers of a thread share
// one inotify instance, however many files they watch.
//
// A file closed by its writer is read under a read lease where the system
// gives one (the file is the process's own, or it may take leases): no writer
// holds it open then, and one that opens it meanwhile waits until the read
// is done. The system tells of such a wait with SIGURG, which is ignored
// unless a program asks for it.
class PLINTO_YAML_EXPORT Watcher : public QObject
{
    Q_OBJECT
public:
    explicit Watcher(QObject *parent = nullptr);
    ~Watcher() override;

    // Reads the file and watches it from now on; reader() holds what it read.
    // A file that does not exist yet is watched as an empty one (its folder
    // must exist). false, errorString() saying why, when it exists but cannot
    // be read (a FIFO or a device is not read, only a regular file), or its
    // folder does not exist. A second call watches another
    // file instead. Where the file's folder is on a file system that does not
    // report changes (a network file system, FUSE), or the system's limits on
    // watches are reached, the file is polled every second: true, and
    // errorString() says so.
    bool watch(const QString &fileName);

    // Reads the configuration NAME that layers' settings name (search folders,
    // root, user's layer, files given, prefix: see Layers) and watches from now
    // on every file it may come from: each search folder's NAME and NAME.d/,
    // the user's, the files given, the links on the way to each file read, a
    // folder that is still to be made. A report names the keys whose merged
    // items changed; a change that a higher layer hides reports nothing.
    // reader() is the merged store, layers() where each key's items come from.
    // Each file is read as watch(fileName) reads one: a save by rename or a
    // writer's close at once, a write in place or a file gone once it has
    // rested for the settle time (a drop-in removed, or a main file that
    // uncovers a lower one, is a change then); a read during which a write is
    // told of is dropped and made again. false, errorString() saying why and
    // the watch as it was, where the configuration cannot be read (as
    // Layers::load). A second call, of either watch(), watches that instead.
    bool watch(const Layers &layers, const QString &name);

    // The configuration watched, with each key's origin; a Layers of nothing
    // where one file is watched.
    Layers layers() const;

    // The file watched, as given to watch(), or the configuration's name;
    // empty when none is.
    QString fileName() const;

    // The store as last read: the file (or the configuration's merged store)
    // at watch(), then after each report; as it was, when a read fails.
    Reader reader() const;

    // Why watch() failed, or how the file is watched where it is polled;
    // empty otherwise.
    QString errorString() const;

    // How long, in milliseconds, a file written in place by a writer that
    // keeps it open must stay unchanged before it is read (a writer that
    // closes it is read at once, as is a save by rename). Default 2000: more
    // than a writer's pause between two parts of a file.
    void setSettleTime(int milliseconds);
    int settleTime() const;

Q_SIGNALS:
    // The file now reads differently: the keys whose items changed, appeared
    // or went, in key order; before is the store as it was, reader() the
    // store as it is now.
    void entriesChanged(const QStringList &keys, const plinto::yaml::Reader &before);

    // The file could not be read (removed, replaced by a folder, a read
    // error); reader() keeps the last store. Once per failure; the next good
    // read reports the difference from the last store.
    void readFailed(const QString &reason);

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace yaml
} // namespace plinto

Q_DECLARE_METATYPE(plinto::yaml::Reader)

#endif // PLINTO_YAML_WATCHER_H
