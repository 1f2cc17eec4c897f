// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The watch of a layered configuration: the folders planned from the search
// folders and the files read, each event sorted as for one file (a whole save
// read at once, a write in place or a file gone once it has settled), and the
// configuration read again whole, its merged store compared with the last.
#include "layeredwatch.h"

#include "changes.h"
#include "filepath.h"
#include "layering/search.h"

#include <QFile>

#include <sys/inotify.h>
#include <sys/stat.h>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

constexpr int pollInterval = 1000; // milliseconds, where a folder cannot be watched

bool isFolder(const QByteArray &path)
{
    struct stat status;
    return ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The settings of a Layers, without what it loaded.
Layers settingsOf(const Layers &layers)
{
    Layers settings;
    settings.setSearchPath(layers.searchPath());
    settings.setRoot(layers.root());
    settings.setUserLayer(layers.userLayer());
    for (const QString &file : layers.addedFiles())
        settings.addFile(file);
    settings.setEnvironmentPrefix(layers.environmentPrefix());
    return settings;
}

} // namespace

LayeredWatch::LayeredWatch(QObject *owner, Report report, Failed failed)
    : m_report(std::move(report)), m_failed(std::move(failed)), m_processing(owner), m_settling(owner), m_polling(owner)
{
    m_processing.setSingleShot(true);
    m_processing.setInterval(0);
    m_settling.setSingleShot(true);
    m_settling.setInterval(2000);
    m_polling.setInterval(pollInterval);
    QObject::connect(&m_processing, &QTimer::timeout, owner, [this] { process(); });
    QObject::connect(&m_settling, &QTimer::timeout, owner, [this] { soon(false); });
    QObject::connect(&m_polling, &QTimer::timeout, owner, [this] { soon(true); });
}

LayeredWatch::~LayeredWatch()
{
    unwatchAll();
}

bool LayeredWatch::watch(const Layers &settings, const QString &name, QString &why)
{
    Layers loaded = settingsOf(settings);
    if (!loaded.load(name)) {
        why = loaded.errorString();
        return false;
    }
    m_settings = settingsOf(settings);
    m_name = name;
    m_suffix = dropInSuffix(QFile::encodeName(name));
    m_current = loaded;
    if (!m_notifier)
        m_notifier = Notifier::forThisThread(why);
    plan();
    return true;
}

void LayeredWatch::interestIn(const QByteArray &folder, const QByteArray &name, Kind kind)
{
    // Where the folder is still to be made: the nearest that exists, and the
    // name of the next part of the way there.
    QByteArray path = folder;
    QByteArray part = name;
    while (!path.isEmpty() && !isFolder(path)) {
        const auto slash = path.lastIndexOf('/');
        if (slash < 0)
            return;
        part = path.mid(slash + 1);
        path = slash == 0 ? QByteArray("/") : path.left(slash);
        kind = Kind::Way;
    }
    if (path.isEmpty())
        return;
    Interest &interest = m_interests[path];
    if (kind == Kind::DropIns)
        interest.dropIns = true;
    else
        (kind == Kind::Way ? interest.ways : interest.names).insert(part);
}

void LayeredWatch::plan()
{
    m_replan = false;
    unwatchAll();
    m_interests.clear();
    SearchPlan plan;
    QString why;
    if (!planFor(m_settings.searchPath(), m_settings.root(), m_settings.userLayer(), m_settings.addedFiles(), m_name,
                 plan, why))
        return;
    const auto slash = plan.name.lastIndexOf('/');
    const QByteArray base = plan.name.mid(slash + 1);
    std::vector<QByteArray> folders = plan.folders;
    if (!plan.userFolder.isEmpty())
        folders.push_back(plan.userFolder);
    for (const QByteArray &folder : folders) {
        if (plan.name.isEmpty())
            break;
        const QByteArray main = slash < 0 ? folder : folder + '/' + plan.name.left(slash);
        interestIn(main, base, Kind::Name);
        interestIn(main, base + ".d", Kind::Way); // the drop-in folder, made or taken away
        interestIn(folder + '/' + plan.name + ".d", QByteArray(), Kind::DropIns);
    }
    // The files read and given: the folders of the links followed to them.
    QStringList files = m_current.files() + m_settings.addedFiles();
    files.removeDuplicates();
    for (const QString &file : files) {
        const FilePath way = followPath(QFile::encodeName(file));
        for (const auto &folder : way.folders) {
            for (const QByteArray &name : folder.second) {
                interestIn(folder.first, name, folder.first == way.folder && name == way.name ? Kind::Name : Kind::Way);
            }
        }
    }
    bool watched = m_notifier != nullptr;
    QByteArray remote;
    for (const auto &interest : m_interests) {
        const int watch = m_notifier ? m_notifier->watch(interest.first, this, why) : -1;
        if (watch < 0)
            watched = false;
        else
            m_watches[watch].push_back(interest.first);
        if (remote.isEmpty())
            remote = remoteFileSystem(interest.first);
    }
    m_note.clear();
    if (!watched)
        m_note = QStringLiteral("%1 cannot be watched whole (%2): it is polled every second").arg(m_name, why);
    else if (!remote.isEmpty())
        m_note = QStringLiteral("%1 has folders on a file system that does not tell of changes made elsewhere (%2): "
                                "it is polled every second as well")
                         .arg(m_name, QString::fromLatin1(remote));
    if (m_note.isEmpty())
        m_polling.stop();
    else if (!m_polling.isActive())
        m_polling.start();
}

void LayeredWatch::unwatchAll()
{
    for (const auto &watch : m_watches) {
        for (size_t i = 0; i < watch.second.size(); ++i)
            m_notifier->unwatch(watch.first, this);
    }
    m_watches.clear();
}

void LayeredWatch::folderChanged(int folder, quint32 mask, const QByteArray &name)
{
    const auto watched = m_watches.find(folder);
    if (watched == m_watches.end())
        return;
    if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) { // a folder watched is gone
        soon(true);
        return;
    }
    for (const QByteArray &path : watched->second) {
        const Interest &interest = m_interests[path];
        const bool way = interest.ways.count(name) != 0;
        const bool file = interest.names.count(name) != 0
                || (interest.dropIns && name.endsWith(m_suffix) && !name.startsWith('.'));
        if (!way && !file)
            continue; // another file of the folder: a save's lock or new file, a backup
        struct stat status;
        if (way || (mask & IN_ISDIR)
            || ((mask & IN_CREATE) && ::lstat((path + '/' + name).constData(), &status) == 0
                && S_ISLNK(status.st_mode)))
            soon(true); // a folder or a link made, swapped or gone: the watches follow
        else if (mask & (IN_CLOSE_WRITE | IN_MOVED_TO))
            soon(false); // whole as it lands
        else
            writing(); // written in place, made to be written, or gone: read once it settles
    }
}

void LayeredWatch::eventsLost()
{
    soon(true);
}

void LayeredWatch::eventsRead()
{
    if (m_processing.isActive()) { // asked for by these events: done now
        m_processing.stop();
        process();
    }
}

void LayeredWatch::soon(bool replan)
{
    m_replan = m_replan || replan;
    m_read = true;
    m_settling.stop();
    m_processing.start();
}

void LayeredWatch::writing()
{
    m_read = false;
    m_written = true;
    m_settling.start();
}

void LayeredWatch::process()
{
    if (m_replan)
        plan();
    if (m_read)
        reload();
}

void LayeredWatch::reload()
{
    m_read = false;
    m_written = false;
    Layers next = m_settings;
    if (!next.load(m_name)) {
        if (!m_failing) {
            m_failing = true;
            m_failed(next.errorString());
        }
        return;
    }
    // No lease keeps writers out of several files: a read during which a
    // write in place was told of may hold half of it, and waits for it.
    if (m_notifier)
        m_notifier->readEvents();
    if (m_written)
        return;
    m_failing = false;
    const QStringList keys = changedKeys(m_current.reader().entries, next.reader().entries);
    const bool replan = next.files() != m_current.files();
    const Reader before = m_current.reader();
    m_current = next;
    if (replan)
        plan();
    if (!keys.isEmpty())
        m_report(keys, before); // last: a receiver may delete the watcher
}

} // namespace detail
} // namespace yaml
} // namespace plinto
