// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

#include "editor_laws.h"

#include <plinto/yaml.h>

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <utime.h>

using laws::Entries;
using laws::parsed;
using plinto::yaml::Editor;
using plinto::yaml::Reader;

// An edit as a test writes it: "set KEY=A" (scalar), "list KEY=A|B" (list
// form, "list KEY=" for none), "remove KEY"; KEY and items as Latin-1 bytes.
using Script = QStringList;

class tst_Editor : public QObject
{
    Q_OBJECT

private slots:
    void laws_data();
    void laws();
    void written_data();
    void written();
    void refused_data();
    void refused();
    void numbers_data();
    void numbers();
    void saveMerges();
    void saveKeepsTheFileKind_data();
    void saveKeepsTheFileKind();
    void saveWaitsForALiveLock();
    void loadAndSaveFailures_data();
    void loadAndSaveFailures();

private:
    QString write(const QByteArray &content, const QString &name = QString());
    QTemporaryDir m_dir;
    int m_files = 0;
};

QString tst_Editor::write(const QByteArray &content, const QString &name)
{
    const QString path = m_dir.filePath(name.isEmpty() ? QString::number(++m_files) + QStringLiteral(".yaml") : name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Runs the script; the store that it should leave, and the keys it names.
static void run(Editor &editor, const Script &script, Entries &expected, QSet<QString> &keys, bool &allTaken)
{
    allTaken = true;
    for (const QString &step : script) {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString rest = step.section(QLatin1Char(' '), 1);
        const QString key = rest.section(QLatin1Char('='), 0, 0);
        const QString value = rest.section(QLatin1Char('='), 1);
        const QStringList items
                = value.isEmpty() && verb == QLatin1String("list") ? QStringList() : value.split(QLatin1Char('|'));
        bool taken = false;
        if (verb == QLatin1String("set"))
            taken = editor.setEntryForKey(key, value);
        else if (verb == QLatin1String("list"))
            taken = editor.setListEntryForKey(key, items);
        else
            taken = editor.removeEntryForKey(key);
        if (taken && verb == QLatin1String("remove"))
            expected.remove(key);
        else if (taken)
            expected.insert(key, verb == QLatin1String("set") ? QStringList{value} : items);
        QCOMPARE(editor.errorString().isEmpty(), taken);
        keys.insert(key);
        allTaken = allTaken && taken;
    }
}

void tst_Editor::laws_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Script>("script");

    QList<QPair<QString, QByteArray>> files{
            {"empty", ""},
            {"CRLF", "a: 1\r\nb: [x, y]\r\n# note\r\n"},
            {"BOM",
             "\xEF\xBB\xBF"
             "a: 1\nb: 2\n"},
            {"BOM, and its bytes again",
             "a: 1\n\xEF\xBB\xBF"
             "b: 2\n"},
            {"NUL", QByteArray("a: 1\0junk: 2\nb: 3\n", 18)},
            {"no final line feed", "a: 1\nb: 2"},
            {"entry for want of a line feed", "a: 1\nb: v:"},
            {"no entry for want of a line feed", "a: 1\nb:"},
            {"duplicate keys", "a: 1\nb: 2\na: [3, 4]\nb: 5"},
            {"comment read as an entry", "# note: x\na: 1\n"},
            {"bytes above 127", "cl\xE9: \xA0v\xA0\n\xE0: 1\n"},
            {"empty key", " : v\nk:\n"},
    };
    QDirIterator inputs(QStringLiteral(TARNWICK_TEST_DATA), {QStringLiteral("input")}, QDir::Files,
                        QDirIterator::Subdirectories);
    while (inputs.hasNext()) {
        QFile input(inputs.next());
        if (input.open(QIODevice::ReadOnly) && input.size() < (1 << 20))
            files.append({QFileInfo(input.fileName()).dir().dirName(), input.readAll()});
    }
    for (const auto &[name, content] : files) {
        const Entries entries = parsed(content);
        const QString first = entries.isEmpty() ? QStringLiteral("a") : entries.firstKey();
        const QString last = entries.isEmpty() ? QStringLiteral("b") : entries.lastKey();
        const QList<QPair<const char *, Script>> scripts{
                {"set existing", {"set " + first + "=42"}},
                {"set new", {"list fresh=x| y |"}},
                {"set the last key", {"list " + last + "=", "set new= padded "}},
                {"remove", {"remove " + first}},
                {"remove then set", {"remove " + last, "set " + last + "=[1]", "set other=#x"}},
                {"empty key", {"set =v", "remove "}},
                {"refused key", {"set a:b=1"}},
                {"refused item", {"set " + first + "=a\"b"}},
        };
        for (const auto &[edit, script] : scripts)
            QTest::addRow("%s, %s", qPrintable(name), edit) << content << script;
    }
}

// Whatever the file and the edits, the edited bytes read as the loaded file
// with the edits applied, and every line of another key stays in its place.
void tst_Editor::laws()
{
    QFETCH(QByteArray, content);
    QFETCH(Script, script);
    Editor editor;
    QVERIFY(editor.load(write(content)));
    QCOMPARE(editor.contents(), content);
    Entries expected = parsed(content);
    QSet<QString> keys;
    bool taken = false;
    run(editor, script, expected, keys, taken);
    QCOMPARE(parsed(editor.contents()), expected);
    QCOMPARE(editor.reader().entries, expected);
    QVERIFY(laws::nothingElseMoved(content, editor.contents(), keys));
}

void tst_Editor::written_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Script>("script");
    QTest::addColumn<QByteArray>("expected");

    // clang-format off
    QTest::newRow("CRLF kept") << QByteArray("a: 1\r\nb: 2\r\n") << Script{"set a=3", "set c=x"} << QByteArray("a: 3\r\nb: 2\r\nc: x\r\n");
    QTest::newRow("what stands around the value") << QByteArray("  k  :\t v  # c  \r\n") << Script{"list k=1|2"} << QByteArray("  k  :\t [1, 2]  \r\n");
    QTest::newRow("a blank after a bare colon") << QByteArray("k:\nj::\n") << Script{"set k=1", "set j=2"} << QByteArray("k: 1\nj:: 2\n");
    QTest::newRow("the last line of a key") << QByteArray("k: 1\nk: 2\n") << Script{"set k=3"} << QByteArray("k: 1\nk: 3\n");
    QTest::newRow("remove every line") << QByteArray("k: 1\nx: 0\n k : 2\n") << Script{"remove k"} << QByteArray("x: 0\n");
    QTest::newRow("last line given a line feed") << QByteArray("a: 1\nb: 2") << Script{"set c=x"} << QByteArray("a: 1\nb: 2\nc: x\n");
    QTest::newRow("new line before k: v:") << QByteArray("a: 1\nk: v:") << Script{"set c=x"} << QByteArray("a: 1\nc: x\nk: v:");
    QTest::newRow("new line before k:") << QByteArray("a: 1\nk:") << Script{"set c=x"} << QByteArray("a: 1\nc: x\nk:");
    QTest::newRow("BOM stays") << QByteArray("\xEF\xBB\xBFk: 1\nb: 2\n") << Script{"remove k"} << QByteArray("\xEF\xBB\xBF" "b: 2\n");
    QTest::newRow("BOM for a key that starts with one") << QByteArray("a: 1\n\xEF\xBB\xBF" "b: 2\n") << Script{"remove a"}
                                                        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF" "b: 2\n");
    QTest::newRow("empty key") << QByteArray() << Script{"set =v"} << QByteArray(" : v\n");
    QTest::newRow("remove, then set at the end") << QByteArray("k: 1\nx: 0\n") << Script{"remove k", "set k=2"} << QByteArray("x: 0\nk: 2\n");
    QTest::newRow("NUL and what follows kept") << QByteArray("k: 1\0rest\n", 10) << Script{"set k=2"} << QByteArray("k: 2\0rest\n", 10);
    QTest::newRow("quotes where needed") << QByteArray() << Script{"set a= x", "set b=", "set c=[1]", "list d=| y|z", "list e="}
                                         << QByteArray("a: \" x\"\nb: \"\"\nc: \"[1]\"\nd: [\"\", \" y\", z]\ne: []\n");
    QTest::newRow("quotes for YAML") << QByteArray() << Script{"set a=#x", "set b=x #y", "set c=x#y", "set d=- x", "set e=-1", "set f=\\ #"}
                                     << QByteArray("a: \"#x\"\nb: \"x #y\"\nc: x#y\nd: \"- x\"\ne: -1\nf: \\ #\n");
    QTest::newRow("bytes above 127") << QByteArray() << Script{QString::fromLatin1("set k\xA0=\xE9\xA0")} << QByteArray("k\xA0: \xE9\xA0\n");
    // clang-format on
}

// The bytes an edit writes.
void tst_Editor::written()
{
    QFETCH(QByteArray, content);
    QFETCH(Script, script);
    QFETCH(QByteArray, expected);
    Editor editor;
    QVERIFY(editor.load(write(content)));
    Entries entries;
    QSet<QString> keys;
    bool taken = false;
    run(editor, script, entries, keys, taken);
    QVERIFY(taken);
    QCOMPARE(editor.contents(), expected);
}

void tst_Editor::refused_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("why");
    QTest::newRow("key with a colon") << Script{"set a:b=1"} << "a key may not hold a colon";
    QTest::newRow("key with a line feed") << Script{"set a\nb=1"} << "a key may not hold a line feed";
    QTest::newRow("key with a NUL") << Script{QStringLiteral("set a") + QChar(0) + QStringLiteral("=1")}
                                    << "a key may not hold a NUL byte";
    QTest::newRow("key with a blank at its end") << Script{"set a =1"} << "a key may not start or end with white space";
    QTest::newRow("key with a tab at its start")
            << Script{"set \ta=1"} << "a key may not start or end with white space";
    QTest::newRow("key not Latin-1") << Script{QStringLiteral("set \u20ac=1")}
                                     << "a key may hold only Latin-1 characters, a byte each";
    QTest::newRow("item with a colon") << Script{"set k=06:30"} << "an item may not hold a colon";
    QTest::newRow("item with a line feed") << Script{"list k=a|b\nc"} << "an item may not hold a line feed";
    QTest::newRow("item with a double quote") << Script{"set k=\"a\""} << "an item may not hold a double quote";
    QTest::newRow("list item with a comma") << Script{"list k=a,b"} << "an item of a list may not hold a comma";
    QTest::newRow("list item with a bracket") << Script{"list k=[a]"} << "an item of a list may not hold a bracket";
    QTest::newRow("remove of a key not there") << Script{"remove gone"} << "the key is not there";
    QTest::newRow("remove of a key removed") << Script{"remove k", "remove k"} << "the key is not there";
}

// Refused: false, why, and nothing changed.
void tst_Editor::refused()
{
    QFETCH(Script, script);
    QFETCH(QString, why);
    const QByteArray content = "k: 1\n";
    Editor editor;
    QVERIFY(editor.load(write(content)));
    Entries entries = parsed(content);
    QSet<QString> keys;
    bool taken = true;
    run(editor, script, entries, keys, taken);
    QVERIFY(!taken);
    QCOMPARE(editor.errorString(), why);
    QCOMPARE(parsed(editor.contents()), entries);
}

void tst_Editor::numbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("0.1") << 0.1 << QByteArray("0.1");
    QTest::newRow("-0") << -0.0 << QByteArray("-0");
    QTest::newRow("1/3") << 1.0 / 3 << QByteArray("0.3333333333333333");
    QTest::newRow("1e300") << 1e300 << QByteArray("1e+300");
    QTest::newRow("smallest") << std::numeric_limits<double>::denorm_min() << QByteArray("5e-324");
    QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << QByteArray("-inf");
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << QByteArray("nan");
    QTest::newRow("-nan") << -std::numeric_limits<double>::quiet_NaN() << QByteArray("nan");
}

// The shortest text that reads back bit for bit (a NaN as a NaN), in C
// notation whatever the locale; whole numbers and yes or no likewise.
void tst_Editor::numbers()
{
    QFETCH(double, value);
    QFETCH(QByteArray, expected);
    const QLocale locale = QLocale();
    QLocale::setDefault(QLocale(QLocale::German));
    Editor editor;
    QVERIFY(editor.setRealEntryForKey(QStringLiteral("r"), value));
    QVERIFY(editor.setRealVectorEntryForKey(QStringLiteral("v"), {value, 2.5}));
    QVERIFY(editor.setIntegerEntryForKey(QStringLiteral("i"), std::numeric_limits<qint64>::min()));
    QVERIFY(editor.setBoolEntryForKey(QStringLiteral("b"), false));
    QLocale::setDefault(locale);
    QCOMPARE(editor.contents(), "r: " + expected + "\nv: [" + expected + ", 2.5]\ni: -9223372036854775808\nb: false\n");
    const Reader reader = editor.reader();
    const double read = reader.realEntryForKey(QStringLiteral("r"));
    QVERIFY(std::isnan(value) ? std::isnan(read) : std::memcmp(&read, &value, sizeof value) == 0);
    QCOMPARE(reader.integerEntryForKey(QStringLiteral("i")), std::numeric_limits<qint64>::min());
}

// Another program's change since load stays where it names another key; for
// the same key, the last save wins. Both editors then show the merged file.
void tst_Editor::saveMerges()
{
    const QString file = write("# settings\na: 1\nb: 2\n");
    Editor first;
    Editor second;
    QVERIFY(first.load(file));
    QVERIFY(second.load(file));
    QVERIFY(second.setEntryForKey(QStringLiteral("b"), QStringLiteral("20")));
    QVERIFY(second.setEntryForKey(QStringLiteral("c"), QStringLiteral("30")));
    QVERIFY(second.save());
    QVERIFY(first.setEntryForKey(QStringLiteral("a"), QStringLiteral("10")));
    QVERIFY(first.setEntryForKey(QStringLiteral("c"), QStringLiteral("31")));
    QVERIFY(first.save());
    const QByteArray merged = "# settings\na: 10\nb: 20\nc: 31\n";
    QCOMPARE(first.contents(), merged);
    QVERIFY(second.save()); // its edits are saved: nothing to apply again
    QCOMPARE(second.contents(), merged);
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), merged);
    QCOMPARE(QDir(m_dir.path()).entryList({QFileInfo(file).fileName() + QLatin1Char('*')}, QDir::Files | QDir::Hidden),
             QStringList{QFileInfo(file).fileName()}); // no lock or temporary file left
}

void tst_Editor::saveKeepsTheFileKind_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind :
         {"permission bits 0640", "permission bits 0600", "symbolic link", "dangling link", "missing"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

// A save writes what it names: the permission bits stay, a link stays a link.
void tst_Editor::saveKeepsTheFileKind()
{
    QFETCH(QString, kind);
    const QString name = QStringLiteral("kind-") + QString::number(++m_files);
    const QString target = m_dir.filePath(name + QStringLiteral(".target"));
    QString file = m_dir.filePath(name);
    const QByteArray before
            = kind == QLatin1String("missing") || kind == QLatin1String("dangling link") ? "" : "k: 1\n";
    if (!before.isEmpty())
        write(before, QFileInfo(target).fileName());
    if (kind.endsWith(QLatin1String("link")))
        QVERIFY(QFile::link(QFileInfo(target).fileName(), file));
    else
        file = target;
    const mode_t mode = kind.endsWith(QLatin1String("0600")) ? 0600 : 0640;
    if (!before.isEmpty())
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), mode), 0);

    Editor editor;
    QVERIFY(editor.load(file));
    QVERIFY(editor.setEntryForKey(QStringLiteral("k"), QStringLiteral("2")));
    QVERIFY2(editor.save(), qPrintable(editor.errorString()));
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("k: 2\n"));
    QCOMPARE(QFileInfo(file).isSymLink(), kind.endsWith(QLatin1String("link")));
    struct stat status;
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &status), 0);
    if (!before.isEmpty())
        QCOMPARE(status.st_mode & 0777, mode);
}

// A live holder of the lock is waited for, then named; an empty lock file
// that no process holds (its holder died before it wrote its id) is not.
void tst_Editor::saveWaitsForALiveLock()
{
    const QString file = write("k: 1\n");
    Editor editor;
    QVERIFY(editor.load(file));
    QVERIFY(editor.setEntryForKey(QStringLiteral("k"), QStringLiteral("2")));
    {
        QLockFile holder(file + QStringLiteral(".lock"));
        QVERIFY(holder.lock());
        QVERIFY(!editor.save());
        QVERIFY2(editor.errorString().contains(
                         QStringLiteral("locked by process %1 ").arg(QCoreApplication::applicationPid())),
                 qPrintable(editor.errorString()));
        QCOMPARE(editor.reader().entryForKey(QStringLiteral("k")), QStringLiteral("2"));
    }
    write("", QFileInfo(file).fileName() + QStringLiteral(".lock"));
    const utimbuf old{::time(nullptr) - 10, ::time(nullptr) - 10};
    QCOMPARE(::utime(QFile::encodeName(file + QStringLiteral(".lock")).constData(), &old), 0);
    QVERIFY2(editor.save(), qPrintable(editor.errorString()));
    QVERIFY(!QFile::exists(file + QStringLiteral(".lock")));
}

void tst_Editor::loadAndSaveFailures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("why");
    QTest::newRow("directory") << m_dir.path() << false << "cannot read %1: Is a directory";
    QTest::newRow("read error part-way") << "/proc/self/mem" << false << "cannot read %1: Input/output error";
    QTest::newRow("no regular file") << "/dev/null" << true
                                     << "cannot save %1: it is not a regular file, which a save would replace";
    QTest::newRow("no file loaded") << QString() << true << "no file to save: load() names it";
}

// Failures say why, and leave the editor as it was.
void tst_Editor::loadAndSaveFailures()
{
    QFETCH(QString, file);
    QFETCH(bool, loads);
    QFETCH(QString, why);
    Editor editor;
    if (!file.isEmpty()) {
        QVERIFY(editor.load(write("k: 1\n")));
        QVERIFY(editor.setEntryForKey(QStringLiteral("j"), QStringLiteral("2")));
    }
    const QByteArray before = editor.contents();
    if (!file.isEmpty())
        QCOMPARE(editor.load(file), loads);
    if (loads)
        QVERIFY(!editor.save());
    QCOMPARE(editor.errorString(), file.isEmpty() ? why : why.arg(file));
    if (!loads)
        QCOMPARE(editor.contents(), before);
}

QTEST_GUILESS_MAIN(tst_Editor)
#include "tst_editor.moc"
