// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The system's word of changes in folders: one inotify instance for all the
// watchers of a thread, a watch for each folder however many watchers look
// at it, and each event handed to the watchers of its folder.
#ifndef PLINTO_YAML_NOTIFIER_H
#define PLINTO_YAML_NOTIFIER_H

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

QT_BEGIN_NAMESPACE
class QSocketNotifier;
QT_END_NAMESPACE

namespace plinto {
namespace yaml {
namespace detail {

// What a watcher is told of the folders it watches.
class FolderListener
{
public:
    // Something happened in a folder it watches: the event's inotify mask,
    // and the name in the folder it happened to (empty: the folder itself).
    virtual void folderChanged(int folder, quint32 mask, const QByteArray &name) = 0;
    // The system dropped events: anything may have changed.
    virtual void eventsLost() = 0;
    // The events that were there have all been handed on: what they ask for
    // can be done now, without waiting for the event loop to come round.
    virtual void eventsRead() = 0;

protected:
    ~FolderListener() = default;
};

class Notifier : public QObject, public std::enable_shared_from_this<Notifier>
{
public:
    // The notifier of this thread, made at the first call and shared until
    // the last holder lets go; null, with why, where the system gives no
    // inotify instance.
    static std::shared_ptr<Notifier> forThisThread(QString &why);

    Notifier(int descriptor, QObject *parent = nullptr);
    ~Notifier() override;

    // Watches the folder for the listener: a number that names the folder in
    // its events; -1, with why, where the system refuses (no such folder, the
    // limit of watches reached).
    int watch(const QByteArray &folder, FolderListener *listener, QString &why);
    // The listener looks at the folder no more.
    void unwatch(int folder, FolderListener *listener);

    // Hands on the events that are there now (as it does whenever there are
    // some and the event loop runs).
    void readEvents();
    // Then tells each listener that was handed one, and still listens, that
    // they are all read.
    void tellEventsRead();

private:
    struct Folder
    {
        QByteArray path;
        std::vector<FolderListener *> listeners; // one entry per watch asked for
    };
    int m_descriptor;
    std::unique_ptr<QSocketNotifier> m_readable;
    std::unordered_map<int, Folder> m_folders;
    std::vector<char> m_buffer;
    std::unordered_set<FolderListener *> m_told; // handed an event, not yet told that all are read
};

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_NOTIFIER_H
