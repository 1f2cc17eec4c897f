// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

#include <plinto/yaml.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>

using plinto::yaml::Layers;
using plinto::yaml::Reader;

using Entries = QMap<QString, QStringList>;

// A tree under the test's root: each path with its bytes, or "->TARGET" (a
// symbolic link), "<dir>" or "<fifo>".
using Tree = QList<QPair<QByteArray, QByteArray>>;

class tst_Layers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void rule_data();
    void rule();
    void failures_data();
    void failures();
    void manyDropIns();
    void changes_data();
    void changes();

private:
    QString makeTree(const Tree &tree, QString root = QString());
    QString configure(Layers &layers, const QString &root, const QString &options) const;
    QTemporaryDir m_dir;
    int m_trees = 0;
};

void tst_Layers::initTestCase()
{
    // A locale whose collation is not the bytes' order ("B" after "a"), where
    // there is one: the drop-ins must be sorted by bytes all the same.
    for (const char *locale : {"de_DE.UTF-8", "C.UTF-8"}) {
        if (std::setlocale(LC_ALL, locale))
            break;
    }
}

// Makes the tree, under a new root or the one given.
// Removes the trees by their bytes, which QDir cannot name where they are not
// UTF-8.
void tst_Layers::cleanupTestCase()
{
    ::nftw(
            QFile::encodeName(m_dir.path()).constData(),
            [](const char *path, const struct stat *, int, struct FTW *) { return std::remove(path) == 0 ? 0 : 1; }, 16,
            FTW_DEPTH | FTW_PHYS);
}

QString tst_Layers::makeTree(const Tree &tree, QString root)
{
    if (root.isEmpty())
        root = m_dir.filePath(QString::number(++m_trees));
    for (const auto &node : tree) {
        const QByteArray path = QFile::encodeName(root) + '/' + node.first;
        QDir().mkpath(QFile::decodeName(path.left(path.lastIndexOf('/'))));
        bool made = true;
        if (node.second == "<dir>")
            made = QDir().mkpath(QFile::decodeName(path));
        else if (node.second == "<fifo>")
            made = ::mkfifo(path.constData(), 0600) == 0;
        else if (node.second.startsWith("->"))
            made = ::symlink(node.second.mid(2).constData(), path.constData()) == 0;
        else if (FILE *file = std::fopen(path.constData(), "wb"))
            made = std::fwrite(node.second.constData(), 1, size_t(node.second.size()), file)
                            == size_t(node.second.size())
                    && std::fclose(file) == 0;
        else
            made = false;
        if (!made)
            qFatal("cannot make %s", path.constData());
    }
    return root;
}

// Options as words: "user", "file=PATH" (under the root), "env=PREFIX",
// "name=NAME". The name to load: robot/params.yaml unless named.
QString tst_Layers::configure(Layers &layers, const QString &root, const QString &options) const
{
    QString name = QStringLiteral("robot/params.yaml");
    layers.setRoot(root);
    for (const QString &option : options.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (option == QLatin1String("user"))
            layers.setUserLayer(true);
        else if (option.startsWith(QLatin1String("file=")))
            layers.addFile(root + QLatin1Char('/') + option.mid(5));
        else if (option.startsWith(QLatin1String("env=")))
            layers.setEnvironmentPrefix(option.mid(4));
        else if (option.startsWith(QLatin1String("name=")))
            name = option.mid(5);
    }
    return name;
}

void tst_Layers::rule_data()
{
    QTest::addColumn<Tree>("tree");
    QTest::addColumn<QString>("options");
    QTest::addColumn<Entries>("expected");
    QTest::addColumn<QStringList>("files");   // read, in order, under the root
    QTest::addColumn<QStringList>("origins"); // "key FILE:LINE" or "key environment:VARIABLE"

    const QByteArray etc = "etc/robot/params.yaml";
    const QByteArray run = "run/robot/params.yaml";
    const QByteArray lib = "usr/lib/robot/params.yaml";
    const QByteArray user = "home/u/.config/robot/params.yaml";

    QTest::newRow("nothing anywhere") << Tree{} << "user" << Entries{} << QStringList{} << QStringList{};
    QTest::newRow("the highest main file wins whole")
            << Tree{{lib, "a: 1\nb: 1\n"}, {run, "a: 2\n"}, {etc, "c: 3\n"}} << "" << Entries{{"c", {"3"}}}
            << QStringList{etc} << QStringList{"c " + etc + ":1"};
    QTest::newRow("a lower main file where the higher are missing")
            << Tree{{lib, "a: 1\n"}, {"usr/local/lib/robot/params.yaml", "a: 2\n"}} << "" << Entries{{"a", {"2"}}}
            << QStringList{"usr/local/lib/robot/params.yaml"} << QStringList{};
    QTest::newRow("an empty main file masks")
            << Tree{{lib, "a: 1\n"}, {etc, ""}, {lib + ".d/1.yaml", "b: 1\n"}} << "" << Entries{{"b", {"1"}}}
            << QStringList{lib + ".d/1.yaml"} << QStringList{};
    QTest::newRow("a link to /dev/null masks the main file")
            << Tree{{lib, "a: 1\n"}, {etc, "->/dev/null"}} << "" << Entries{} << QStringList{} << QStringList{};
    QTest::newRow("drop-ins by name, whatever folder")
            << Tree{{lib, "k: main\n"},
                    {lib + ".d/30-c.yaml", "k: c\n"},
                    {"etc/robot/params.yaml.d/20-b.yaml", "k: b\nb: 1\n"},
                    {lib + ".d/10-a.yaml", "k: a\na: 1\n"}}
            << "" << Entries{{"a", {"1"}}, {"b", {"1"}}, {"k", {"c"}}}
            << QStringList{lib, lib + ".d/10-a.yaml", "etc/robot/params.yaml.d/20-b.yaml", lib + ".d/30-c.yaml"}
            << QStringList{"k " + lib + ".d/30-c.yaml:1", "b etc/robot/params.yaml.d/20-b.yaml:2"};
    QTest::newRow("drop-ins by bytes, not the locale nor numbers")
            << Tree{{lib + ".d/a.yaml", "k: a\n"},        {lib + ".d/B.yaml", "k: B\n"},
                    {lib + ".d/9.yaml", "k: 9\n"},        {lib + ".d/10.yaml", "k: 10\n"},
                    {lib + ".d/\xc3\xa9.yaml", "k: e\n"}, {lib + ".d/z.yaml", "k: z\n"}}
            << "" << Entries{{"k", {"e"}}}
            << QStringList{lib + ".d/10.yaml", lib + ".d/9.yaml", lib + ".d/B.yaml",
                           lib + ".d/a.yaml",  lib + ".d/z.yaml", QString::fromUtf8(lib + ".d/\xc3\xa9.yaml")}
            << QStringList{};
    QTest::newRow("a name not UTF-8, read and sorted by its bytes")
            << Tree{{lib + ".d/caf\xe9.yaml", "k: latin1\n"}, {lib + ".d/cafe.yaml", "k: ascii\n"}} << ""
            << Entries{{"k", {"latin1"}}}
            << QStringList{lib + ".d/cafe.yaml", QFile::decodeName(lib + ".d/caf\xe9.yaml")} << QStringList{};
    QTest::newRow("the highest folder's drop-in of a name wins")
            << Tree{{lib + ".d/50.yaml", "k: lib\nl: 1\n"}, {"run/robot/params.yaml.d/50.yaml", "k: run\n"}} << ""
            << Entries{{"k", {"run"}}} << QStringList{"run/robot/params.yaml.d/50.yaml"} << QStringList{};
    QTest::newRow("an empty drop-in and a link to /dev/null mask their names")
            << Tree{{lib + ".d/1.yaml", "a: 1\n"},
                    {"etc/robot/params.yaml.d/1.yaml", ""},
                    {lib + ".d/2.yaml", "b: 1\n"},
                    {"etc/robot/params.yaml.d/2.yaml", "->/dev/null"},
                    {lib + ".d/3.yaml", "c: 1\n"}}
            << "" << Entries{{"c", {"1"}}} << QStringList{lib + ".d/3.yaml"} << QStringList{};
    QTest::newRow("no backups, hidden files, other suffixes or folders")
            << Tree{{lib + ".d/x.yml", "a: 1\n"},   {lib + ".d/a.yaml~", "a: 2\n"},
                    {lib + ".d/.a.yaml", "a: 3\n"}, {lib + ".d/a.yaml.dpkg-old", "a: 4\n"},
                    {lib + ".d/d.yaml", "<dir>"},   {lib + ".d/x.yaml.d/y.yaml", "a: 5\n"},
                    {lib + ".d/ok.yaml", "b: 1\n"}}
            << "" << Entries{{"b", {"1"}}} << QStringList{lib + ".d/ok.yaml"} << QStringList{};
    QTest::newRow("a file where the drop-in folder belongs")
            << Tree{{lib, "a: 1\n"}, {lib + ".d", "b: 1\n"}} << "" << Entries{{"a", {"1"}}} << QStringList{lib}
            << QStringList{};
    QTest::newRow("a name whose last part begins with a dot")
            << Tree{{"etc/robot/.robotrc.d/a.robotrc", "a: 1\n"}, {"etc/robot/.robotrc.d/b.yaml", "b: 1\n"}}
            << "name=robot/.robotrc" << Entries{{"a", {"1"}}} << QStringList{"etc/robot/.robotrc.d/a.robotrc"}
            << QStringList{};
    QTest::newRow("a suffix of the name's own")
            << Tree{{"etc/robot/params.conf.d/a.conf", "a: 1\n"}, {"etc/robot/params.conf.d/b.yaml", "b: 1\n"}}
            << "name=robot/params.conf" << Entries{{"a", {"1"}}} << QStringList{"etc/robot/params.conf.d/a.conf"}
            << QStringList{};
    QTest::newRow("the user's layer, key by key, an empty file masking nothing")
            << Tree{{lib, "a: 1\nb: 1\n"},
                    {user, "b: 2\n"},
                    {"home/u/.config/robot/params.yaml.d/x.yaml", ""},
                    {"home/u/.config/robot/params.yaml.d/y.yaml", "c: 3\n"}}
            << "user" << Entries{{"a", {"1"}}, {"b", {"2"}}, {"c", {"3"}}}
            << QStringList{lib, user, "home/u/.config/robot/params.yaml.d/x.yaml",
                           "home/u/.config/robot/params.yaml.d/y.yaml"}
            << QStringList{"b " + user + ":1"};
    QTest::newRow("no user's layer unless asked") << Tree{{lib, "a: 1\n"}, {user, "a: 2\n"}} << ""
                                                  << Entries{{"a", {"1"}}} << QStringList{lib} << QStringList{};
    QTest::newRow("files given, in order, after the user's")
            << Tree{{lib, "a: 1\nb: 1\nc: 1\n"}, {user, "a: 2\nb: 2\n"}, {"f1", "b: 3\nc: 3\n"}, {"f2", "c: 4\n"}}
            << "user file=f1 file=f2" << Entries{{"a", {"2"}}, {"b", {"3"}}, {"c", {"4"}}}
            << QStringList{lib, user, "f1", "f2"} << QStringList{"a " + user + ":1", "b f1:1", "c f2:1"};
    QTest::newRow("the environment over keys held, and only those")
            << Tree{{lib, "max-speed: 1\ngains: [1, 2]\nname: x\n"}} << "env=TST_LAYERS_"
            << Entries{{"gains", {"3", "4", "5"}}, {"max-speed", {"2.5"}}, {"name", {"x"}}} << QStringList{lib}
            << QStringList{"max-speed environment:TST_LAYERS_MAX_SPEED", "gains environment:TST_LAYERS_GAINS",
                           "name " + lib + ":3"};
    QTest::newRow("origins: the winning line, CRLF, a byte-order mark, a comment line, NUL")
            << Tree{{lib, QByteArray("\xef\xbb\xbfk: 1\r\nj: 1\r\nk: 2\r\nl: 1\r\n# note: x\r\nn: v\0: w\nm: 1", 51)}}
            << "" << Entries{{"k", {"2"}}, {"j", {"1"}}, {"l", {"1"}}, {"# note", {"x"}}, {"n", {"v"}}, {"m", {"1"}}}
            << QStringList{lib} << QStringList{"k " + lib + ":3",      "j " + lib + ":2", "l " + lib + ":4",
                                               "# note " + lib + ":5", "n " + lib + ":6", "m " + lib + ":7"};
    QTest::newRow("only files given") << Tree{{"f1", "a: 1\n"}} << "name= file=f1" << Entries{{"a", {"1"}}}
                                      << QStringList{"f1"} << QStringList{"a f1:1"};
}

void tst_Layers::rule()
{
    QFETCH(Tree, tree);
    QFETCH(QString, options);
    QFETCH(Entries, expected);
    QFETCH(QStringList, files);
    QFETCH(QStringList, origins);
    const QString root = makeTree(tree);
    qputenv("HOME", "/home/u");
    qputenv("XDG_CONFIG_HOME", "relative/ignored");
    qputenv("TST_LAYERS_MAX_SPEED", "2.5");
    qputenv("TST_LAYERS_GAINS", "[3, 4, 5]");
    qputenv("TST_LAYERS_NOT_HELD", "1");
    Layers layers;
    QVERIFY2(layers.load(configure(layers, root, options)), qPrintable(layers.errorString()));
    QCOMPARE(layers.reader().entries, expected);
    QStringList read;
    for (const QString &file : layers.files())
        read.append(file.mid(root.size() + 1));
    QCOMPARE(read, files);
    for (const QString &origin : origins) {
        const auto space = origin.lastIndexOf(QLatin1Char(' '));
        const plinto::yaml::Origin got = layers.origin(origin.left(space));
        const QString shown = got.variable.isEmpty()
                ? QStringLiteral("%1:%2").arg(got.fileName.mid(root.size() + 1)).arg(got.line)
                : QStringLiteral("environment:") + got.variable;
        QCOMPARE(shown, origin.mid(space + 1));
    }
    QVERIFY(layers.origin(QStringLiteral("not held")).fileName.isEmpty());
    // Without the environment, the store is one Reader's of the files read,
    // in order (where their names can be given to it as text).
    Reader one;
    bool named = true;
    for (const QString &file : layers.files())
        named = one.parse(file) && named;
    if (layers.environmentPrefix().isEmpty() && named)
        QCOMPARE(layers.reader().entries, one.entries);
}

void tst_Layers::failures_data()
{
    QTest::addColumn<Tree>("tree");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");

    const QByteArray lib = "usr/lib/robot/params.yaml";
    const Tree good;
    const QString name = QStringLiteral("robot/params.yaml");
    QTest::newRow("a FIFO drop-in, never waited on")
            << Tree{{lib + ".d/f.yaml", "<fifo>"}} << "" << name << "params.yaml.d/f.yaml: it is not a regular file";
    QTest::newRow("a link to a device, never read")
            << Tree{{lib + ".d/z.yaml", "->/dev/zero"}} << "" << name << "z.yaml: it is not a regular file";
    QTest::newRow("the user's file a link to a device") << Tree{{"home/u/.config/robot/params.yaml", "->/dev/zero"}}
                                                        << "user" << name << "it is not a regular file";
    QTest::newRow("a dangling link") << Tree{{"etc/robot/params.yaml", "->nowhere"}} << "" << name
                                     << "etc/robot/params.yaml: a dangling symbolic link";
    QTest::newRow("a folder where the main file belongs")
            << Tree{{"etc/robot/params.yaml", "<dir>"}} << "" << name << "etc/robot/params.yaml: it is a folder";
    QTest::newRow("a folder where the user's file belongs")
            << Tree{{"home/u/.config/robot/params.yaml", "<dir>"}} << "user" << name << "it is a folder";
    QTest::newRow("a .. part") << good << ""
                               << "../../etc/shadow"
                               << "may not hold a \"..\" part";
    QTest::newRow("an absolute name") << good << ""
                                      << "/etc/shadow"
                                      << "not absolute";
    QTest::newRow("an empty name, no file given") << good << ""
                                                  << ""
                                                  << "the name is empty";
    QTest::newRow("no file name at the end") << good << ""
                                             << "robot/"
                                             << "does not end in a file name";
    QTest::newRow("a file given that is missing")
            << good << "file=missing.yaml" << name << "missing.yaml: No such file or directory";
    QTest::newRow("a variable that reads as no value")
            << good << "env=TST_BAD_" << name << "the variable TST_BAD_A: a value may not hold a colon";
}

void tst_Layers::failures()
{
    QFETCH(Tree, tree);
    QFETCH(QString, options);
    QFETCH(QString, name);
    QFETCH(QString, error);
    qputenv("HOME", "/home/u");
    qputenv("TST_BAD_A", "a: b");
    // A load that went through, then the fault: the load fails, and what the
    // first one read stays.
    const QString root = makeTree(Tree{{"usr/lib/robot/params.yaml", "a: 1\n"}});
    Layers layers;
    configure(layers, root, QString());
    QVERIFY(layers.load(QStringLiteral("robot/params.yaml")));
    const QStringList files = layers.files();
    makeTree(tree, root);
    configure(layers, root, options);
    QVERIFY(!layers.load(name));
    QVERIFY2(layers.errorString().contains(error), qPrintable(layers.errorString()));
    QCOMPARE(layers.reader().entries, (Entries{{"a", {"1"}}}));
    QCOMPARE(layers.files(), files);
    QCOMPARE(layers.origin(QStringLiteral("a")).line, 1);
}

void tst_Layers::manyDropIns()
{
    Tree tree;
    for (int i = 0; i < 10000; ++i)
        tree.append({QByteArray("usr/lib/robot/params.yaml.d/") + QByteArray::number(i) + ".yaml",
                     "k: " + QByteArray::number(i) + "\nk" + QByteArray::number(i) + ": 1\n"});
    Layers layers;
    layers.setRoot(makeTree(tree));
    QVERIFY(layers.load(QStringLiteral("robot/params.yaml")));
    QCOMPARE(layers.files().size(), 10000);
    QCOMPARE(layers.reader().entries.size(), 10001);
    QCOMPARE(layers.reader().entryForKey(QStringLiteral("k")), QStringLiteral("9999")); // "9999.yaml" sorts last
    QVERIFY(layers.origin(QStringLiteral("k")).fileName.endsWith(QLatin1String("/9999.yaml")));
}

// Every file under the root, with its bytes.
static QMap<QString, QByteArray> filesUnder(const QString &root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files.insert(file.fileName().mid(root.size() + 1), file.readAll());
    }
    return files;
}

void tst_Layers::changes_data()
{
    QTest::addColumn<Tree>("tree");
    QTest::addColumn<QString>("options");     // as in rule, and "into=PATH" (under the root)
    QTest::addColumn<QStringList>("script");  // "set KEY=VALUE", "remove KEY"
    QTest::addColumn<QStringList>("written"); // the files changed or made, under the root
    QTest::addColumn<QString>("refusal");     // a part of the reason; empty where it is taken

    const QByteArray etc = "etc/robot/params.yaml";
    const QByteArray lib = "usr/lib/robot/params.yaml";
    const QByteArray user = "home/u/.config/robot/params.yaml";
    const QString override = QStringLiteral("etc/robot/params.yaml.d/override.yaml");
    QTest::newRow("in place, where the value comes from")
            << Tree{{lib, "k: 1\nx: 1\n"}, {etc + ".d/50-site.yaml", "k: 2\n"}} << "" << QStringList{"set k=3"}
            << QStringList{etc + ".d/50-site.yaml"} << "";
    QTest::newRow("the vendor's file not hidden: a drop-in, no main file in /etc")
            << Tree{{lib, "k: 1\nx: 1\n"}} << "" << QStringList{"set k=3"} << QStringList{override} << "";
    QTest::newRow("a drop-in named as a lower one: another name")
            << Tree{{lib + ".d/override.yaml", "x: 1\n"}} << "" << QStringList{"set k=3"}
            << QStringList{"etc/robot/params.yaml.d/override_2.yaml"} << "";
    QTest::newRow("the main file of /etc, where it is read and nothing after holds the key")
            << Tree{{etc, "a: 1\n"}, {lib + ".d/10-a.yaml", "b: 1\n"}} << "" << QStringList{"set k=3"}
            << QStringList{etc} << "";
    QTest::newRow("a drop-in after the lower drop-in that holds the key")
            << Tree{{etc, "k: 1\n"}, {lib + ".d/10-a.yaml", "k: 2\n"}} << "" << QStringList{"set k=3"}
            << QStringList{override} << "";
    QTest::newRow("a lower drop-in read after the one written: refused")
            << Tree{{lib + ".d/zz.yaml", "k: 2\n"}} << "" << QStringList{"set k=3"} << QStringList{}
            << "would still come from ROOT/usr/lib/robot/params.yaml.d/zz.yaml:1, read after ROOT/" + override
                    + ": name that file with --into ROOT/usr/lib/robot/params.yaml.d/zz.yaml";
    QTest::newRow("the user's file, not written: refused")
            << Tree{{lib, "k: 1\n"}, {user, "k: 2\n"}} << "" << QStringList{"set k=3"} << QStringList{}
            << "would still come from ROOT/" + user + ":1, read after ROOT/" + override
                    + ": set it in the user's layer with --user";
    QTest::newRow("the user's file, written") << Tree{{lib, "k: 1\n"}, {user, "j: 0\nk: 2\n"}} << "user"
                                              << QStringList{"set k=3"} << QStringList{user} << "";
    QTest::newRow("the user's file made")
            << Tree{{lib, "k: 1\n"}} << "user" << QStringList{"set k=3"} << QStringList{user} << "";
    QTest::newRow("a file given: refused")
            << Tree{{lib, "k: 1\n"}, {"f.yaml", "k: 2\n"}} << "file=f.yaml" << QStringList{"set k=3"} << QStringList{}
            << "would still come from ROOT/f.yaml:1";
    QTest::newRow("a variable: refused") << Tree{{lib, "k: 1\n"}} << "env=TST_CHANGE_" << QStringList{"set k=3"}
                                         << QStringList{} << "would still come from the variable TST_CHANGE_K";
    QTest::newRow("only files of /etc hold it: always settable")
            << Tree{{etc + ".d/a.yaml", "k: 1\n"}, {etc + ".d/b.yaml", "k: 2\n"}} << "" << QStringList{"set k=3"}
            << QStringList{etc + ".d/b.yaml"} << "";
    QTest::newRow("into a file it reads") << Tree{{lib, "k: 1\n"}} << QString::fromLatin1("into=" + lib)
                                          << QStringList{"set k=3"} << QStringList{lib} << "";
    QTest::newRow("into a new main file of /etc over the vendor's: refused")
            << Tree{{lib, "k: 1\n"}} << QString::fromLatin1("into=" + etc) << QStringList{"set k=3"} << QStringList{}
            << "is no file of the configuration that a change would show in";
    QTest::newRow("several changes, one refused: none written")
            << Tree{{lib, "k: 1\n"}, {user, "j: 2\n"}} << "" << QStringList{"set k=3", "set j=4"} << QStringList{}
            << "key \"j\" would still come from";
    QTest::newRow("remove from every file of /etc")
            << Tree{{lib, "k: 1\nx: 0\n"}, {etc + ".d/a.yaml", "k: 2\nx: 1\n"}, {etc + ".d/b.yaml", "k: 3\n"}} << ""
            << QStringList{"remove k"} << QStringList{etc + ".d/a.yaml", etc + ".d/b.yaml"} << "";
    QTest::newRow("remove where a later file gives the value: refused")
            << Tree{{etc, "k: 2\n"}, {lib + ".d/a.yaml", "k: 3\n"}} << "" << QStringList{"remove k"} << QStringList{}
            << QString::fromLatin1("comes from ROOT/usr/lib/robot/params.yaml.d/a.yaml:1, read after ROOT/" + etc
                                   + ": removing it there would change nothing");
    QTest::newRow("remove of a key no file of /etc holds: refused")
            << Tree{{lib, "k: 1\n"}} << "" << QStringList{"remove k"} << QStringList{} << "is in no file of ROOT/etc";
}

// A change taken shows, in the merged store, and every other key keeps its
// items; only the files named change; a refusal changes no file.
void tst_Layers::changes()
{
    QFETCH(Tree, tree);
    QFETCH(QString, options);
    QFETCH(QStringList, script);
    QFETCH(QStringList, written);
    QFETCH(QString, refusal);
    const QString root = makeTree(tree);
    qputenv("HOME", "/home/u");
    qputenv("XDG_CONFIG_HOME", "");
    qputenv("TST_CHANGE_K", "9");
    Layers layers;
    const QString name = configure(layers, root, options);
    Layers all = layers; // as programs read it: the user's layer too
    all.setUserLayer(true);
    QVERIFY(all.load(name));
    const Entries before = all.reader().entries;
    const QMap<QString, QByteArray> filesBefore = filesUnder(root);

    plinto::yaml::LayersEditor editor;
    QVERIFY2(editor.load(layers, name), qPrintable(editor.errorString()));
    const auto into = options.indexOf(QLatin1String("into="));
    if (into >= 0)
        editor.setTargetFile(root + QLatin1Char('/') + options.mid(into + 5).section(QLatin1Char(' '), 0, 0));
    Entries expected = before;
    QString why;
    for (const QString &step : script) {
        const QString key = step.section(QLatin1Char(' '), 1).section(QLatin1Char('='), 0, 0);
        const QString value = step.section(QLatin1Char('='), 1);
        const bool taken = step.startsWith(QLatin1String("set")) ? editor.setEntryForKey(key, value)
                                                                 : editor.removeEntryForKey(key);
        if (!taken) {
            why = QStringLiteral("key \"%1\" ").arg(key) + editor.errorString();
            break;
        }
        if (step.startsWith(QLatin1String("set")))
            expected.insert(key, {value});
    }
    if (!refusal.isEmpty()) {
        QVERIFY2(why.contains(QString(refusal).replace(QLatin1String("ROOT"), root)), qPrintable(why));
        QCOMPARE(filesUnder(root), filesBefore);
        return;
    }
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QVERIFY2(editor.save(), qPrintable(editor.errorString()));
    const QMap<QString, QByteArray> filesAfter = filesUnder(root);
    QStringList changed;
    for (auto file = filesAfter.cbegin(); file != filesAfter.cend(); ++file) {
        if (filesBefore.value(file.key()) != file.value() || !filesBefore.contains(file.key()))
            changed.append(file.key());
    }
    QCOMPARE(changed, written);
    QVERIFY(all.load(name));
    if (script.first().startsWith(QLatin1String("remove"))) {
        Layers lower = all; // the key as the layers below give it
        for (const QString &file : written)
            QVERIFY(QFile::remove(root + QLatin1Char('/') + file));
        QVERIFY(lower.load(name));
        const QString key = script.first().section(QLatin1Char(' '), 1);
        if (lower.reader().entries.contains(key))
            expected.insert(key, lower.reader().listEntryForKey(key));
        else
            expected.remove(key);
    }
    QCOMPARE(all.reader().entries, expected);
}

QTEST_GUILESS_MAIN(tst_Layers)
#include "tst_layers.moc"
