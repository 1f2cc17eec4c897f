// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// tarnwick-watch: says, as it happens, which keys of an entry file (or of a
// configuration of several) changed and how, in the dump's own lines, for
// scripts and people.
#include "dump.h"
#include "layeroptions.h"
#include "output.h"

#include <plinto/yaml.h>

#include <QCoreApplication>
#include <QFile>
#include <QSet>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

constexpr char usage[] = "tarnwick-watch version: " TARNWICK_VERSION_STRING "\n"
                         "usage: tarnwick-watch [--once] FILE [KEY]...\n"
                         "       tarnwick-watch [--once] LAYERS [KEY]...\n"
                         "Watches the entry file FILE and, each time it reads differently, writes\n"
                         "for each changed KEY (each changed key, where none is named) \"- \" and\n"
                         "its dump line as it was, then \"+ \" and its dump line as it is now (no\n"
                         "\"-\" line for a key that appeared, no \"+\" line for one that went).\n"
                         "With --once, ends after the first report. A file that cannot be read\n"
                         "meanwhile is said on standard error, and the watch goes on; SIGINT or\n"
                         "SIGTERM ends it. With LAYERS in place of FILE, every file of the\n"
                         "configuration is watched, and a report is of its merged store.\n"
                         "Exit status: 0; 1 when standard output fails; 2 when FILE cannot be\n"
                         "watched, or the arguments are wrong.\n" TARNWICK_LAYER_USAGE;

enum Status { Ended = 0, OutputFailed = 1, Trouble = 2 };

void say(const QString &what)
{
    tarnwick::writeAll(STDERR_FILENO, "tarnwick-watch: " + what.toLocal8Bit().toStdString() + '\n');
}

} // namespace

int main(int argc, char *argv[])
{
    // SIGINT and SIGTERM come as reads of a descriptor, so that they end the
    // event loop like any other event (blocked before any thread can start).
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    sigprocmask(SIG_BLOCK, &ending, nullptr);
    const int endingSignals = ::signalfd(-1, &ending, SFD_NONBLOCK | SFD_CLOEXEC);

    tarnwick::startInUtf8Locale();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-watch"));
    if (const int status = tarnwick::answerOption(argc, argv, usage); status >= 0)
        return status;
    const bool once = argc > 1 && std::strcmp(argv[1], "--once") == 0;
    int first = once ? 2 : 1; // FILE, or the layer options
    if (argc <= first || tarnwick::isHelpOrVersion(argv[1])) {
        tarnwick::writeAll(STDERR_FILENO, usage);
        return Trouble;
    }
    tarnwick::LayerOptions options;
    std::string why;
    const bool layered = tarnwick::isLayerOption(argv[first]);
    if (layered && !tarnwick::readLayerOptions(argc, argv, first, options, why)) {
        say(QString::fromLocal8Bit(why.c_str()));
        return Trouble;
    }
    if (layered && !options.given) {
        say(QStringLiteral("--layers or --file names what to watch"));
        return Trouble;
    }
    const QString fileName = layered ? QString() : QFile::decodeName(argv[first]);
    if (!layered && QFile::encodeName(fileName) != QByteArray(argv[first])) {
        say(QStringLiteral("cannot watch a file whose name is not valid in the locale's encoding"));
        return Trouble;
    }
    QSet<QString> named; // the keys asked about, byte for byte
    for (int i = layered ? first : first + 1; i < argc; ++i)
        named.insert(QString::fromLatin1(argv[i]));

    plinto::yaml::Watcher watcher;
    if (layered ? !watcher.watch(options.layers, options.name) : !watcher.watch(fileName)) {
        say(watcher.errorString());
        return Trouble;
    }
    if (!watcher.errorString().isEmpty())
        say(QStringLiteral("note: ") + watcher.errorString());

    QObject::connect(&watcher, &plinto::yaml::Watcher::entriesChanged,
                     [&](const QStringList &keys, const plinto::yaml::Reader &before) {
                         const plinto::yaml::Reader now = watcher.reader();
                         std::string report; // one write: a report arrives whole
                         for (const QString &key : keys) {
                             if (!named.isEmpty() && !named.contains(key))
                                 continue;
                             const auto was = before.entries.constFind(key);
                             if (was != before.entries.cend()) {
                                 report += "- ";
                                 tarnwick::appendDumpLine(report, key, *was);
                             }
                             const auto is = now.entries.constFind(key);
                             if (is != now.entries.cend()) {
                                 report += "+ ";
                                 tarnwick::appendDumpLine(report, key, *is);
                             }
                         }
                         if (report.empty())
                             return;
                         if (!tarnwick::writeAll(STDOUT_FILENO, report))
                             app.exit(OutputFailed);
                         else if (once)
                             app.exit(Ended);
                     });
    QObject::connect(&watcher, &plinto::yaml::Watcher::readFailed, [](const QString &reason) { say(reason); });

    QSocketNotifier ended(endingSignals, QSocketNotifier::Read);
    QObject::connect(&ended, &QSocketNotifier::activated, &app, [&app] { app.exit(Ended); });
    return app.exec();
}
