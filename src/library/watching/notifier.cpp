// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The system's word of changes: inotify, read when its descriptor is
// readable, each event handed on at once to the listeners of its folder.
#include "notifier.h"

#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// What is asked for of each folder: names made, gone, renamed in and out, a
// file written and closed, and the folder itself going.
constexpr quint32 folderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE
        | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

thread_local std::weak_ptr<Notifier> thisThreads;

} // namespace

std::shared_ptr<Notifier> Notifier::forThisThread(QString &why)
{
    if (std::shared_ptr<Notifier> notifier = thisThreads.lock())
        return notifier;
    const int descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0) {
        why = QStringLiteral("the system gives no inotify instance (%1)").arg(qt_error_string(errno));
        return nullptr;
    }
    std::shared_ptr<Notifier> notifier = std::make_shared<Notifier>(descriptor);
    thisThreads = notifier;
    return notifier;
}

Notifier::Notifier(int descriptor, QObject *parent)
    : QObject(parent),
      m_descriptor(descriptor),
      m_readable(std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read)),
      m_buffer(1 << 16)
{
    connect(m_readable.get(), &QSocketNotifier::activated, this, [this] {
        readEvents();
        tellEventsRead();
    });
}

Notifier::~Notifier()
{
    m_readable.reset();
    ::close(m_descriptor);
}

int Notifier::watch(const QByteArray &folder, FolderListener *listener, QString &why)
{
    const int watch = ::inotify_add_watch(m_descriptor, folder.constData(), folderEvents);
    if (watch < 0) {
        why = errno == ENOSPC ? QStringLiteral("the system's limit of inotify watches is reached")
                              : qt_error_string(errno);
        return -1;
    }
    Folder &watched = m_folders[watch]; // the same folder twice is the same watch
    watched.path = folder;
    watched.listeners.push_back(listener);
    return watch;
}

void Notifier::unwatch(int folder, FolderListener *listener)
{
    const auto watched = m_folders.find(folder);
    if (watched == m_folders.end())
        return;
    std::vector<FolderListener *> &listeners = watched->second.listeners;
    const auto one = std::find(listeners.begin(), listeners.end(), listener);
    if (one != listeners.end())
        listeners.erase(one);
    m_told.erase(listener);
    if (listeners.empty()) {
        ::inotify_rm_watch(m_descriptor, folder);
        m_folders.erase(watched);
    }
}

void Notifier::readEvents()
{
    // All that is there, a buffer at a time; a bounded number of reads, so
    // that a folder that never rests cannot hold the thread.
    for (int reads = 0; reads < 64; ++reads) {
        const ssize_t got = ::read(m_descriptor, m_buffer.data(), m_buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return; // EAGAIN: all read; or an error, which the next activation meets again
        // Room was left for another event: all that was there is read (what
        // comes meanwhile makes the descriptor readable again).
        const bool drained = size_t(got) + sizeof(inotify_event) + NAME_MAX + 1 <= m_buffer.size();
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::copy_n(m_buffer.data() + at, sizeof event, reinterpret_cast<char *>(&event));
            const char *name = m_buffer.data() + at + sizeof event;
            at += ssize_t(sizeof event + event.len);
            if (event.mask & IN_Q_OVERFLOW) {
                std::vector<FolderListener *> everyone;
                for (const auto &folder : m_folders)
                    everyone.insert(everyone.end(), folder.second.listeners.begin(), folder.second.listeners.end());
                for (FolderListener *listener : everyone)
                    listener->eventsLost();
                continue;
            }
            const auto watched = m_folders.find(event.wd);
            if (watched == m_folders.end())
                continue; // a folder let go of, whose last events come still
            const QByteArray named(name, decltype(QByteArray().size())(qstrnlen(name, event.len)));
            // A listener may let go of folders as it hears: a copy is walked.
            const std::vector<FolderListener *> listeners = watched->second.listeners;
            for (FolderListener *listener : listeners) {
                m_told.insert(listener);
                listener->folderChanged(event.wd, event.mask, named);
            }
            if (event.mask & IN_IGNORED) // the folder is gone: the system dropped the watch
                m_folders.erase(event.wd);
        }
        if (drained)
            return;
    }
}

void Notifier::tellEventsRead()
{
    // A listener may let go of folders, or be deleted, as it acts (its
    // unwatch takes it off the list), and the last may let go of this. Each
    // is told once: events that come while it acts (it reads them as it
    // checks a read) wait for the event loop's next turn, so that a file that
    // never rests cannot hold the thread here.
    const std::shared_ptr<Notifier> keep = shared_from_this();
    std::unordered_set<FolderListener *> done;
    while (!m_told.empty()) {
        FolderListener *listener = *m_told.begin();
        m_told.erase(m_told.begin());
        if (done.insert(listener).second)
            listener->eventsRead();
    }
}

} // namespace detail
} // namespace yaml
} // namespace plinto
