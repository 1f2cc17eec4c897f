// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The watch of a layered configuration: every folder a file of it may come
// from (each search folder's NAME and NAME.d/, the user's, the folders of the
// files given and of the links followed to the files read), the nearest one
// that exists where a folder is still to be made; on a change there, the
// configuration read again whole and compared with the last merged store.
#ifndef PLINTO_YAML_LAYEREDWATCH_H
#define PLINTO_YAML_LAYEREDWATCH_H

#include "notifier.h"

#include <plinto/yaml.h>

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace plinto {
namespace yaml {
namespace detail {

class LayeredWatch final : public FolderListener
{
public:
    using Report = std::function<void(const QStringList &keys, const Reader &before)>;
    using Failed = std::function<void(const QString &reason)>;

    // Timers live in owner's thread; report and failed are called from there.
    LayeredWatch(QObject *owner, Report report, Failed failed);
    ~LayeredWatch();

    // Reads the configuration and watches it (once: a Watcher makes a new
    // LayeredWatch for each configuration); false, with why, where it cannot
    // be read (as Layers::load).
    bool watch(const Layers &settings, const QString &name, QString &why);

    const Layers &layers() const { return m_current; }
    // How the configuration is watched where some folder is polled; else empty.
    QString note() const { return m_note; }
    void setSettleTime(int milliseconds) { m_settling.setInterval(milliseconds); }

    void folderChanged(int folder, quint32 mask, const QByteArray &name) override;
    void eventsLost() override;
    void eventsRead() override;

private:
    // The names of a folder that matter: files read, the ways to them (a
    // folder or link made, swapped or gone changes what is watched), or any
    // drop-in.
    struct Interest
    {
        std::set<QByteArray> names;
        std::set<QByteArray> ways;
        bool dropIns = false;
    };
    void plan();
    enum class Kind { Name, Way, DropIns };
    // The name in the folder matters as kind says (the name of a drop-in
    // folder aside); where the folder is missing, the way to it does.
    void interestIn(const QByteArray &folder, const QByteArray &name, Kind kind);
    void unwatchAll();
    void soon(bool replan);
    void writing();
    void process();
    void reload();

    Report m_report;
    Failed m_failed;
    Layers m_settings;
    QString m_name;
    QByteArray m_suffix;
    Layers m_current;
    QString m_note;
    std::shared_ptr<Notifier> m_notifier;
    std::map<QByteArray, Interest> m_interests;
    std::map<int, std::vector<QByteArray>> m_watches; // the watches held, and their folders
    QTimer m_processing;
    QTimer m_settling;
    QTimer m_polling;
    bool m_replan = false;
    bool m_read = false;
    bool m_written = false; // a write in place was told of
    bool m_failing = false; // the failure of the last read was told
};

} // namespace detail
} // namespace yaml
} // namespace plinto

#endif // PLINTO_YAML_LAYEREDWATCH_H
