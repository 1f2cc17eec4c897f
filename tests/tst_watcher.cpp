// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

#include "editor_laws.h"

#include <plinto/yaml.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

using laws::Entries;
using plinto::yaml::Reader;
using plinto::yaml::Watcher;

// What a watcher told, in order.
struct Told
{
    struct Report
    {
        QStringList keys;
        Entries before;
        Entries after;
    };
    std::vector<Report> reports;
    QStringList failures;

    explicit Told(Watcher &watcher)
    {
        QObject::connect(&watcher, &Watcher::entriesChanged, &watcher,
                         [this, &watcher](const QStringList &keys, const Reader &before) {
                             reports.push_back({keys, before.entries, watcher.reader().entries});
                         });
        QObject::connect(&watcher, &Watcher::readFailed, &watcher,
                         [this](const QString &reason) { failures.append(reason); });
    }
};

// Failures wait this long: a bound for a hung test, not a figure of speed.
constexpr int patience = 60000;

class tst_Watcher : public QObject
{
    Q_OBJECT

private slots:
    void saves_data();
    void saves();
    void noReport_data();
    void noReport();
    void edits_data();
    void edits();
    void neverHalfAFile();
    void settleTime_data();
    void settleTime();
    void removedAndBack();
    void receiverActs();
    void folderGoneAndBack();
    void layers_data();
    void layers();
    void watchFailures_data();
    void watchFailures();
    void thousandWatchers();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Runs the saver as another process: KIND FILE setup|COUNT [FIRST].
    bool runSaver(const QStringList &arguments);
    // Runs the shell command, with $1 the path, to its end; true where it succeeded.
    static bool shell(const char *command, const QString &path);
    static QByteArray bytesOf(const QString &file);
    QTemporaryDir m_dir;
    int m_files = 0;
};

bool tst_Watcher::runSaver(const QStringList &arguments)
{
    QProcess saver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TARNWICK_SET"), QStringLiteral(TARNWICK_SET));
    saver.setProcessEnvironment(environment);
    saver.setProcessChannelMode(QProcess::ForwardedChannels);
    saver.start(QStringLiteral("bash"), QStringList{QStringLiteral(TARNWICK_SAVER)} + arguments);
    // The watcher's events are handled while the saver runs.
    QElapsedTimer waited;
    waited.start();
    while (saver.state() != QProcess::NotRunning && waited.elapsed() < patience)
        QTest::qWait(5);
    return saver.state() == QProcess::NotRunning && saver.exitStatus() == QProcess::NormalExit && saver.exitCode() == 0;
}

bool tst_Watcher::shell(const char *command, const QString &path)
{
    QProcess sh;
    sh.start(QStringLiteral("sh"), {QStringLiteral("-c"), QString::fromLatin1(command), QStringLiteral("sh"), path});
    return sh.waitForFinished(patience) && sh.exitCode() == 0;
}

QByteArray tst_Watcher::bytesOf(const QString &file)
{
    QFile read(file);
    return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
}

// A store that a save wrote whole: its numbers agree with its counter.
static bool isWhole(const Entries &entries)
{
    const QString counter = entries.value(QStringLiteral("counter")).value(0);
    return entries.value(QStringLiteral("name")).value(0) == QStringLiteral("robot_") + counter
            && entries.value(QStringLiteral("gains")).value(2) == counter
            && entries.value(QStringLiteral("payload_1")).value(0) == counter
            && entries.value(QStringLiteral("payload_20")).value(0) == counter;
}

void tst_Watcher::saves_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"editor", "replace", "inplace", "recreate", "link", "swap"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

// Saves of every kind, from another process, 0 to 30 ms apart: once the file
// is quiet the watcher holds what it holds, every report is of a whole file
// and follows the one before it (nothing lost, nothing twice), and the watch
// is alive after.
void tst_Watcher::saves()
{
    QFETCH(QString, kind);
    const QString file = path(QStringLiteral("saves-%1/settings.yaml").arg(++m_files));
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    QVERIFY(runSaver({kind, file, QStringLiteral("setup")}));
    Watcher watcher;
    QVERIFY2(watcher.watch(file), qPrintable(watcher.errorString()));
    QCOMPARE(watcher.errorString(), QString());
    const Entries first = watcher.reader().entries;
    QCOMPARE(first, laws::parsed(bytesOf(file)));
    Told told(watcher);

    QVERIFY(runSaver({kind, file, QStringLiteral("60")}));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.reader().entries, laws::parsed(bytesOf(file)), patience);
    QVERIFY(!told.reports.empty());
    Entries store = first;
    int counter = 0;
    for (const Told::Report &report : told.reports) {
        QCOMPARE(report.before, store);
        QVERIFY(!report.keys.isEmpty());
        QVERIFY2(isWhole(report.after),
                 qPrintable(QStringList(report.after.keys()).join(QLatin1Char(' ')) + QStringLiteral(" counter ")
                            + report.after.value(QStringLiteral("counter")).value(0)));
        const int now = report.after.value(QStringLiteral("counter")).value(0).toInt();
        QVERIFY2(now > counter, "a report of no newer save");
        counter = now;
        store = report.after;
    }
    QCOMPARE(store, watcher.reader().entries);
    QCOMPARE(counter, 60);
    if (kind != QLatin1String("recreate"))
        QCOMPARE(told.failures, QStringList());

    // Alive after.
    const size_t reports = told.reports.size();
    QVERIFY(runSaver({kind, file, QStringLiteral("1"), QStringLiteral("61")}));
    QTRY_VERIFY_WITH_TIMEOUT(told.reports.size() > reports, patience);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.reader().entries.value(QStringLiteral("counter")), QStringList{"61"}, patience);
}

void tst_Watcher::noReport_data()
{
    QTest::addColumn<QString>("command"); // run by sh in the file's folder, on f.yaml
    QTest::newRow("the same bytes saved again") << "cp f.yaml f.new && mv f.new f.yaml";
    QTest::newRow("the same bytes written in place") << "cat f.yaml > f.copy && cat f.copy > f.yaml";
    QTest::newRow("touch") << "touch f.yaml";
    QTest::newRow("chmod") << "chmod 600 f.yaml";
    QTest::newRow("a comment changed") << "sed -i 's/^# a note/# another note/' f.yaml";
    QTest::newRow("a blank line added") << "echo >> f.yaml";
    QTest::newRow("a set that changes nothing") << QStringLiteral("'%1' f.yaml k 1").arg(QStringLiteral(TARNWICK_SET));
    QTest::newRow("another file of the folder") << "echo 'k: 2' > other.yaml && mv other.yaml f.yaml.bak";
    QTest::newRow("a save's lock left and removed") << "echo 1 > f.yaml.lock && rm f.yaml.lock";
}

// What changes nothing the store holds is not reported: the one report is of
// the change made after it (events come in order).
void tst_Watcher::noReport()
{
    QFETCH(QString, command);
    const QString folder = path(QStringLiteral("quiet-%1").arg(++m_files));
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/f.yaml");
    QFile write(file);
    QVERIFY(write.open(QIODevice::WriteOnly));
    write.write("# a note\nk: 1\n");
    write.close();
    Watcher watcher;
    QVERIFY(watcher.watch(file));
    Told told(watcher);
    QProcess quiet;
    quiet.setWorkingDirectory(folder);
    quiet.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    QTRY_VERIFY_WITH_TIMEOUT(quiet.state() == QProcess::NotRunning, patience);
    QCOMPARE(quiet.exitCode(), 0);
    QProcess change;
    change.start(QStringLiteral(TARNWICK_SET), {file, QStringLiteral("marker"), QStringLiteral("1")});
    QTRY_VERIFY_WITH_TIMEOUT(!told.reports.empty(), patience);
    QCOMPARE(told.reports.front().keys, QStringList{"marker"});
    QTRY_VERIFY_WITH_TIMEOUT(change.state() == QProcess::NotRunning, patience);
    QCOMPARE(told.reports.size(), size_t(1));
    QCOMPARE(told.failures, QStringList());
}

void tst_Watcher::edits_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray many = QByteArray("k: 0\n").repeated(50);
    QTest::newRow("a value in the middle") << QByteArray("a: 1\nb: 2\nc: 3\n") << QByteArray("a: 1\nb: 5\nc: 3\n");
    QTest::newRow("an earlier line of a key")
            << QByteArray("a: 1\nk: 1\nx: 0\nk: 2\n") << QByteArray("a: 1\nk: 9\nx: 0\nk: 2\n");
    QTest::newRow("the last line of a key changed")
            << QByteArray("a: 1\nk: 1\nx: 0\nk: 2\n") << QByteArray("a: 1\nk: 1\nx: 0\nk: 3\n");
    QTest::newRow("the last line of a key goes")
            << QByteArray("a: 1\nk: 1\nx: 0\nk: 2\n") << QByteArray("a: 1\nk: 1\nx: 0\n");
    QTest::newRow("a last line given a line feed") << QByteArray("a: 1\nk:") << QByteArray("a: 1\nk:\n");
    QTest::newRow("a line split in two") << QByteArray("a: 1\nbc: 2\n") << QByteArray("a: 1\nb\nc: 2\n");
    QTest::newRow("two lines made one") << QByteArray("a: 1\nb\nc: 2\n") << QByteArray("a: 1\nbc: 2\n");
    QTest::newRow("a byte-order mark put in front") << QByteArray("a: 1\n")
                                                    << QByteArray("\xEF\xBB\xBF"
                                                                  "a: 1\n");
    QTest::newRow("the first line") << QByteArray("a: 1\nb: 2\n") << QByteArray("a: 2\nb: 2\n");
    QTest::newRow("a NUL byte") << QByteArray("a: 1\nb: 2\n") << QByteArray("a: 1\nb: 2\0junk\n", 15);
    QTest::newRow("CRLF made LF") << QByteArray("a: 1\r\nb: 2\r\n") << QByteArray("a: 1\r\nb: 2\n");
    QTest::newRow("a line moved") << QByteArray("a: 1\nb: 2\nc: 3\n") << QByteArray("a: 1\nc: 3\nb: 2\n");
    QTest::newRow("a line that is an entry no more") << QByteArray("a: 1\nb: 2\n") << QByteArray("a: 1\nb: 2:\n");
    QTest::newRow("most of the file") << many << QByteArray("k: 1\n").repeated(40) + QByteArray("j: 0\n").repeated(10);
    QTest::newRow("the end, no final line feed") << QByteArray("a: 1\nb: 2") << QByteArray("a: 1\nb: 23");
    QTest::newRow("a comment line read as an entry") << QByteArray("a: 1\n# b: 2\n") << QByteArray("a: 1\n# b: 3\n");
    QTest::newRow("emptied") << QByteArray("a: 1\nb: 2\n") << QByteArray();
}

// The keys of a report are those whose items differ, as two full reads of the
// file tell, whatever the edit; where none differ, the one report is of the
// next change.
void tst_Watcher::edits()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const QString file = path(QStringLiteral("edit-%1.yaml").arg(++m_files));
    const auto save = [&file](const QByteArray &bytes) {
        QFile write(file + QStringLiteral(".new"));
        return write.open(QIODevice::WriteOnly) && write.write(bytes) == bytes.size() && write.flush()
                && ::rename(QFile::encodeName(write.fileName()).constData(), QFile::encodeName(file).constData()) == 0;
    };
    const auto differ = [](const Entries &a, const Entries &b) {
        QStringList keys = a.keys() + b.keys();
        keys.removeDuplicates();
        keys.sort();
        QStringList differing;
        for (const QString &key : keys) {
            if (a.contains(key) != b.contains(key) || a.value(key) != b.value(key))
                differing.append(key);
        }
        return differing;
    };
    QVERIFY(save(before));
    Watcher watcher;
    QVERIFY(watcher.watch(file));
    Told told(watcher);
    QVERIFY(save(after));
    QByteArray last = after;
    QStringList keys = differ(laws::parsed(before), laws::parsed(after));
    if (keys.isEmpty()) {
        last = "marker: 1\n" + after;
        QVERIFY(save(last));
        keys = differ(laws::parsed(after), laws::parsed(last));
    }
    QTRY_COMPARE_WITH_TIMEOUT(told.reports.size(), size_t(1), patience);
    QCOMPARE(told.reports[0].keys, keys);
    QCOMPARE(watcher.reader().entries, laws::parsed(last));
}

// A writer that truncates the file, writes part of it, pauses up to a second
// and writes the rest, keeping it open: one report each, of the whole file.
void tst_Watcher::neverHalfAFile()
{
    const QString file = path(QStringLiteral("pause-%1.yaml").arg(++m_files));
    QVERIFY(runSaver({QStringLiteral("pause"), file, QStringLiteral("setup")}));
    Watcher watcher;
    QVERIFY(watcher.watch(file));
    Told told(watcher);
    QVERIFY(runSaver({QStringLiteral("pause"), file, QStringLiteral("3")}));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.reader().entries.value(QStringLiteral("counter")), QStringList{"3"}, patience);
    for (const Told::Report &report : told.reports)
        QVERIFY(isWhole(report.after));
    QVERIFY(told.reports.size() <= 3);
    QCOMPARE(told.failures, QStringList());
}

// A file written in place and kept open is read once it has rested for the
// settle time set: not before it (but for the 5% a timer may fire early),
// and, where it is shorter than the default, well before the default.
void tst_Watcher::settleTime_data()
{
    QTest::addColumn<int>("settle");
    QTest::newRow("shorter than the default") << 300;
    QTest::newRow("longer than the default") << 3000;
}

void tst_Watcher::settleTime()
{
    QFETCH(int, settle);
    const QString file = path(QStringLiteral("settle-%1.yaml").arg(++m_files));
    QVERIFY(shell("echo 'k: 0' > \"$1\"", file));
    Watcher watcher;
    watcher.setSettleTime(settle);
    QCOMPARE(watcher.settleTime(), settle);
    QVERIFY(watcher.watch(file));
    Told told(watcher);
    QFile writer(file);
    QVERIFY(writer.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered));
    QVERIFY(writer.write("k: 1\n") == 5);
    QElapsedTimer written;
    written.start();
    QTRY_VERIFY_WITH_TIMEOUT(!told.reports.empty(), patience);
    const qint64 waited = written.elapsed();
    QVERIFY2(waited >= settle * 95 / 100, qPrintable(QString::number(waited))); // a timer's slack: 5% at most
    if (settle < 2000)
        QVERIFY2(waited < 2000, qPrintable(QString::number(waited)));
    QCOMPARE(watcher.reader().entryForKey(QStringLiteral("k")), QStringLiteral("1"));
}

// A layered configuration watched: each change (run by a shell in the tree,
// in steps that the watcher acts on one after the other)
// is one report, naming exactly the keys whose merged items differ, with each
// key's new origin; a change that a higher layer hides reports nothing (the
// one report is then of a marker saved after it).
void tst_Watcher::layers_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("shows");
    const char *dropIns = "etc/robot/params.yaml.d";
    QTest::newRow("a drop-in added by rename")
            << "printf 'a: 9\\nn: 1\\n' > x.tmp && mv x.tmp etc/robot/params.yaml.d/60.yaml" << true;
    QTest::newRow("a drop-in written in place")
            << QStringLiteral("printf 'b: 7\\n' >> %1/50.yaml").arg(QLatin1String(dropIns)) << true;
    QTest::newRow("a drop-in removed") << QStringLiteral("rm %1/50.yaml").arg(QLatin1String(dropIns)) << true;
    QTest::newRow("a drop-in renamed") << QStringLiteral("mv %1/50.yaml %1/05.yaml").arg(QLatin1String(dropIns))
                                       << true;
    QTest::newRow("a mask made") << QStringLiteral("ln -s /dev/null %1/50.yaml.new && mv -T %1/50.yaml.new %1/50.yaml")
                                            .arg(QLatin1String(dropIns))
                                 << true;
    QTest::newRow("a mask taken away") << "rm run/robot/params.yaml.d/40.yaml" << true;
    QTest::newRow("a folder made later, then a drop-in in it")
            << "mkdir -p usr/local/lib/robot/params.yaml.d ;; printf 'c: 5\\n' > y.tmp && mv y.tmp "
               "usr/local/lib/robot/params.yaml.d/70.yaml"
            << true;
    QTest::newRow("a link swapped")
            << "ln -s ../../other.yaml etc/robot/l.tmp && mv -T etc/robot/l.tmp etc/robot/params.yaml" << true;
    QTest::newRow("the user's file saved")
            << "printf 'a: 3\\n' > u.tmp && mv u.tmp home/u/.config/robot/params.yaml" << true;
    QTest::newRow("a lower file hidden by a higher one")
            << "printf 'b: 0\\n' > z.tmp && mv z.tmp usr/lib/robot/params.yaml.d/50.yaml" << false;
    QTest::newRow("a lower main file, overridden whole")
            << "printf 'a: 0\\n' > z.tmp && mv z.tmp usr/lib/robot/params.yaml" << false;
}

void tst_Watcher::layers()
{
    QFETCH(QString, change);
    QFETCH(bool, shows);
    const QString root = path(QStringLiteral("layers-%1").arg(++m_files));
    QVERIFY(shell("mkdir -p \"$1\" && cd \"$1\" && mkdir -p etc/robot/params.yaml.d usr/lib/robot/params.yaml.d "
                  "run/robot/params.yaml.d home/u/.config/robot && printf 'a: 1\\nb: 1\\n' > etc/robot/params.yaml && "
                  "printf 'a: 0\\n' > usr/lib/robot/params.yaml && printf 'b: 2\\nm: 1\\n' > "
                  "etc/robot/params.yaml.d/50.yaml && "
                  "printf 'b: 3\\n' > usr/lib/robot/params.yaml.d/50.yaml && printf 'q: 4\\n' > "
                  "usr/lib/robot/params.yaml.d/40.yaml && "
                  ": > run/robot/params.yaml.d/40.yaml && printf 'o: 1\\n' > other.yaml && printf 'u: 1\\n' > "
                  "home/u/.config/robot/params.yaml",
                  root));
    qputenv("HOME", "/home/u");
    qputenv("XDG_CONFIG_HOME", "");
    plinto::yaml::Layers settings;
    settings.setRoot(root);
    settings.setUserLayer(true);
    const QString name = QStringLiteral("robot/params.yaml");
    plinto::yaml::Layers before = settings;
    QVERIFY(before.load(name));
    Watcher watcher;
    watcher.setSettleTime(200);
    QVERIFY2(watcher.watch(settings, name), qPrintable(watcher.errorString()));
    QCOMPARE(watcher.errorString(), QString());
    QCOMPARE(watcher.reader().entries, before.reader().entries);
    Told told(watcher);
    // Steps apart (";;"): the watcher acts on each before the next.
    for (const QString &step : change.split(QStringLiteral(" ;; "))) {
        QVERIFY(shell(qPrintable(QStringLiteral("cd \"$1\" && ") + step), root));
        if (step != change.split(QStringLiteral(" ;; ")).last())
            QTest::qWait(300);
    }
    if (!shows)
        QVERIFY(shell("cd \"$1\" && printf 'marker: 1\\n' > m.tmp && mv m.tmp etc/robot/params.yaml.d/zz.yaml", root));
    QTRY_COMPARE_WITH_TIMEOUT(told.reports.size(), size_t(1), patience);
    QTest::qWait(400); // no second report: one report per change
    QCOMPARE(told.reports.size(), size_t(1));
    plinto::yaml::Layers after = settings;
    QVERIFY(after.load(name));
    QCOMPARE(watcher.reader().entries, after.reader().entries);
    QStringList keys;
    for (const QString &key : after.reader().keys() + before.reader().keys()) {
        if (after.reader().entries.value(key, {QStringLiteral("-")})
                    != before.reader().entries.value(key, {QStringLiteral("-")})
            && !keys.contains(key))
            keys.append(key);
    }
    keys.sort();
    QCOMPARE(told.reports[0].keys, shows ? keys : QStringList{QStringLiteral("marker")});
    for (const QString &key : keys) {
        QCOMPARE(watcher.layers().origin(key).fileName, after.origin(key).fileName);
        QCOMPARE(watcher.layers().origin(key).line, after.origin(key).line);
    }
    QCOMPARE(told.failures, QStringList());
}

// A file removed keeps the last store, and says so once; its return is
// reported as a difference from that store. One missing at watch() is empty
// until it appears.
void tst_Watcher::removedAndBack()
{
    const QString file = path(QStringLiteral("removed-%1.yaml").arg(++m_files));
    Watcher watcher;
    QVERIFY(watcher.watch(file));
    QCOMPARE(watcher.reader().entries, Entries());
    Told told(watcher);
    const auto run = [&file](const char *command) { return shell(command, file); };
    QVERIFY(run("printf 'a: 1\\nb: 2\\n' > \"$1\""));
    QTRY_COMPARE_WITH_TIMEOUT(told.reports.size(), size_t(1), patience);
    QCOMPARE(told.reports[0].keys, (QStringList{"a", "b"}));
    QVERIFY(run("rm \"$1\""));
    QTRY_COMPARE_WITH_TIMEOUT(told.failures.size(), 1, patience);
    QVERIFY2(told.failures[0].endsWith(QLatin1String(": No such file or directory")), qPrintable(told.failures[0]));
    QCOMPARE(watcher.reader().entries.size(), 2);
    QVERIFY(run("mkdir \"$1\"")); // a folder in its place: the same failure, not told again
    QTest::qWait(200);
    QVERIFY(run("rmdir \"$1\""));
    QVERIFY(run("printf 'a: 1\\nc: 3\\n' > \"$1.new\" && mv \"$1.new\" \"$1\""));
    QTRY_COMPARE_WITH_TIMEOUT(told.reports.size(), size_t(2), patience);
    QCOMPARE(told.reports[1].keys, (QStringList{"b", "c"}));
    QCOMPARE(told.failures.size(), 1);
}

// A receiver may act on watchers as it is told: here, told of one of two
// files saved at once, it deletes the other's watcher and watches that file
// itself. Its reports of that file then start from what it read there, and
// each from the one before (small changes to a larger file, each reported
// from the lines that differ).
void tst_Watcher::receiverActs()
{
    const QString base = path(QStringLiteral("acts-%1").arg(++m_files));
    const QString other = base + QStringLiteral("-b.yaml");
    QVERIFY(shell("printf 'a: 1\\n' > \"$1-a.yaml\" && seq -f 'f%g: 0' 50 > \"$1-b.yaml\" "
                  "&& printf 'b: 1\\nc: 1\\n' >> \"$1-b.yaml\"",
                  base));
    Watcher first;
    auto second = std::make_unique<Watcher>();
    QVERIFY(first.watch(base + QStringLiteral("-a.yaml")));
    QVERIFY(second->watch(other));
    QObject::connect(&first, &Watcher::entriesChanged, &first, [&] {
        if (second) {
            second.reset();
            QVERIFY(first.watch(other));
        }
    });
    const auto save = [&base](const char *command) {
        return shell(command, base) && shell("mv \"$1-b.new\" \"$1-b.yaml\"", base);
    };
    QVERIFY(save("printf 'a: 2\\n' > \"$1-a.new\" && sed 's/^b: 1/b: 2/' \"$1-b.yaml\" > \"$1-b.new\" "
                 "&& mv \"$1-a.new\" \"$1-a.yaml\""));
    QTRY_VERIFY_WITH_TIMEOUT(!second, patience);
    QCOMPARE(first.reader().entries, laws::parsed(bytesOf(other)));
    Told told(first);
    QVERIFY(save("sed 's/^b: 2/b: 3/; /^c: /d' \"$1-b.yaml\" > \"$1-b.new\""));
    QTRY_COMPARE_WITH_TIMEOUT(told.reports.size(), size_t(1), patience);
    QCOMPARE(told.reports[0].keys, (QStringList{"b", "c"}));
    QCOMPARE(first.reader().entries, laws::parsed(bytesOf(other)));
    QVERIFY(save("sed 's/^f1: 0/f1: 1/' \"$1-b.yaml\" > \"$1-b.new\""));
    QTRY_COMPARE_WITH_TIMEOUT(told.reports.size(), size_t(2), patience);
    QCOMPARE(told.reports[1].keys, QStringList{"f1"});
    QCOMPARE(first.reader().entries, laws::parsed(bytesOf(other)));
}

// A folder on the way that goes is waited for (the file polled) and, once it
// is back, watched again: the file's return is reported, and saves after it.
void tst_Watcher::folderGoneAndBack()
{
    const QString folder = path(QStringLiteral("gone-%1").arg(++m_files));
    const QString file = folder + QStringLiteral("/f.yaml");
    const auto run = [&folder](const char *command) { return shell(command, folder); };
    QVERIFY(run("mkdir \"$1\" && printf 'a: 1\\n' > \"$1/f.yaml\""));
    Watcher watcher;
    QVERIFY(watcher.watch(file));
    Told told(watcher);
    QVERIFY(run("rm -r \"$1\""));
    QTRY_COMPARE_WITH_TIMEOUT(told.failures.size(), 1, patience);
    QVERIFY(run("mkdir \"$1\" && printf 'a: 2\\n' > \"$1/f.new\" && mv \"$1/f.new\" \"$1/f.yaml\""));
    QTRY_COMPARE_WITH_TIMEOUT(told.reports.size(), size_t(1), patience);
    QCOMPARE(watcher.reader().entryForKey(QStringLiteral("a")), QStringLiteral("2"));
    QVERIFY(run("printf 'a: 3\\n' > \"$1/f.new\" && mv \"$1/f.new\" \"$1/f.yaml\""));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.reader().entryForKey(QStringLiteral("a")), QStringLiteral("3"), patience);
    QCOMPARE(told.reports.size(), size_t(2));
}

void tst_Watcher::watchFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("why");
    QTest::newRow("folder missing") << "missing/f.yaml"
                                    << "cannot watch %1: its folder %2/missing does not exist";
    QTest::newRow("a folder") << "."
                              << "cannot read %1: Is a directory";
    QTest::newRow("a FIFO, no writer") << "fifo.yaml" // not waited for
                                       << "cannot read %1: it is not a regular file";
}

void tst_Watcher::watchFailures()
{
    QFETCH(QString, name);
    QFETCH(QString, why);
    Watcher watcher;
    const QString kept = path(QStringLiteral("kept.yaml"));
    QFile write(kept);
    QVERIFY(write.open(QIODevice::WriteOnly));
    write.write("k: 1\n");
    write.close();
    QVERIFY(watcher.watch(kept));
    QFile::link(QStringLiteral("gone/f.yaml"), path(QStringLiteral("link.yaml")));
    QVERIFY(::mkfifo(QFile::encodeName(path(QStringLiteral("fifo.yaml"))).constData(), 0600) == 0 || errno == EEXIST);
    const QString file = path(name);
    QVERIFY(!watcher.watch(file));
    QCOMPARE(watcher.errorString(), why.replace(QLatin1String("%2"), m_dir.path()).arg(file));
    QCOMPARE(watcher.fileName(), kept); // the watch before goes on
    QCOMPARE(watcher.reader().entryForKey(QStringLiteral("k")), QStringLiteral("1"));
}

// inotify instances of this process.
static int inotifyInstances()
{
    int instances = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(fds.filePath(fd)).endsWith(QLatin1String("inotify")))
            ++instances;
    }
    return instances;
}

// A thousand watchers of a thousand files: each change reported to its own
// watcher, one inotify instance for them all.
void tst_Watcher::thousandWatchers()
{
    const QString folder = path(QStringLiteral("thousand"));
    QVERIFY(QDir().mkpath(folder));
    constexpr int files = 1000;
    std::vector<std::unique_ptr<Watcher>> watchers;
    std::vector<int> told(files);
    for (int i = 0; i < files; ++i) {
        const QString file = QStringLiteral("%1/%2.yaml").arg(folder).arg(i);
        QFile write(file);
        QVERIFY(write.open(QIODevice::WriteOnly));
        write.write("n: 0\n");
        write.close();
        watchers.push_back(std::make_unique<Watcher>());
        QVERIFY(watchers.back()->watch(file));
        connect(watchers.back().get(), &Watcher::entriesChanged, this, [&told, i] { ++told[size_t(i)]; });
    }
    QCOMPARE(inotifyInstances(), 1);
    QProcess saver;
    saver.setWorkingDirectory(folder);
    saver.start(QStringLiteral("bash"),
                {QStringLiteral("-c"),
                 QStringLiteral("for i in $(seq 0 999); do echo \"n: $i$i\" > $i.new && mv $i.new $i.yaml; done")});
    QTRY_VERIFY_WITH_TIMEOUT(saver.state() == QProcess::NotRunning, patience);
    QTRY_VERIFY_WITH_TIMEOUT(std::count(told.begin(), told.end(), 1) == files, patience);
    for (int i = 0; i < files; ++i)
        QCOMPARE(watchers[size_t(i)]->reader().entryForKey(QStringLiteral("n")),
                 QString::number(i) + QString::number(i));
    watchers.clear();
    QCOMPARE(inotifyInstances(), 0);
}

QTEST_GUILESS_MAIN(tst_Watcher)
#include "tst_watcher.moc"
