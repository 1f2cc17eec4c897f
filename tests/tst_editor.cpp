// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

#include "editor_laws.h"

#include <plinto/yaml.h>

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLockFile>
#include <QProcess>
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
    void saveMergesAtBlockEdges_data();
    void saveMergesAtBlockEdges();
    void saveKeepsTheFileKind_data();
    void saveKeepsTheFileKind();
    void saveAgain_data();
    void saveAgain();
    void saveWaitsForALiveLock_data();
    void saveWaitsForALiveLock();
    void loadAndSaveFailures_data();
    void loadAndSaveFailures();

private:
    QString write(const QByteArray &content, const QString &name = QString());
    QTemporaryDir m_dir;
    int m_files = 0;
};

// A line that opens N brackets and closes M, after a plain line that brings
// it to the offset: within one 64-byte block (130) or across two (186), as
// the pass over lines that open nothing reads them (which reads whole blocks:
// a long line after them); then a line of k.
static const QList<QPair<QByteArray, bool>> bracketLines{{"a: 1", false},   {"a: [1,", true},      {"a: 1]", false},
                                                         {"a: [1]", false}, {"a: [[1], 2,", true}, {"a: [[1]]", false}};
static QByteArray bracketFile(const QByteArray &line, int offset)
{
    return "p: " + QByteArray(offset - 4, 'x') + "\n" + line + "\nk: 3]\nz: " + QByteArray(150, 'y') + "\n";
}

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
    QDirIterator yamlShaped(QStringLiteral(TARNWICK_TEST_YAML), {QStringLiteral("*.yaml")}, QDir::Files);
    while (yamlShaped.hasNext()) {
        QFile input(yamlShaped.next());
        if (input.open(QIODevice::ReadOnly))
            files.append({QFileInfo(input.fileName()).fileName(), input.readAll()});
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
                {"the same key again, between others",
                 {"set " + first + "=1", "set " + first + "=2", "set other=3", "remove " + last,
                  "set " + first + "=4"}},
                {"removed, set, removed", {"remove " + first, "set " + first + "=1", "remove " + first}},
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
    QTest::newRow("a new line ends as the last line") << QByteArray("a: 1\r\nb: 2\n") << Script{"set c=x"} << QByteArray("a: 1\r\nb: 2\nc: x\n");
    QTest::newRow("the key in its own value") << QByteArray("k: k\nx: 1\nk: 2\n") << Script{"remove k"} << QByteArray("x: 1\n");
    QTest::newRow("what stands around the value") << QByteArray("  k  :\t v  # c  \r\n") << Script{"list k=1|2"} << QByteArray("  k  :\t [1, 2]  \r\n");
    QTest::newRow("a blank after a bare colon") << QByteArray("k:\nj::\n") << Script{"set k=1", "set j=2"} << QByteArray("k: 1\nj:: 2\n");
    QTest::newRow("the last line of a key") << QByteArray("k: 1\nk: 2\n") << Script{"set k=3"} << QByteArray("k: 1\nk: 3\n");
    QTest::newRow("remove every line") << QByteArray("k: 1\nx:\n  k : 2\ny: 0\n") << Script{"remove k"} << QByteArray("x:\ny: 0\n");
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
    QTest::newRow("Latin-1's last character") << QByteArray() << Script{QString::fromLatin1("set \xFF=\xFF")} << QByteArray("\xFF: \xFF\n");
    QTest::newRow("lists of 0, 1 and 2 items") << QByteArray("a: 1\nb: 1\nc: 1\n") << Script{"list a=", "list b=x", "list c=x|y"}
                                              << QByteArray("a: []\nb: [x]\nc: [x, y]\n");
    QTest::newRow("quotes for YAML, and none") << QByteArray() << Script{"set a=*x", "set b='q", "set c=?", "set d=-1", "set e=-x", "set f=x#y", "set g=a\tb", "list h={a}|?x|-x|-|-1"}
                                               << QByteArray("a: \"*x\"\nb: \"'q\"\nc: \"?\"\nd: -1\ne: -x\nf: x#y\ng: \"a\tb\"\nh: [\"{a}\", \"?x\", -x, \"-\", -1]\n");
    // The key found wherever it stands against the blocks its search reads.
    for (int pad = 12; pad <= 18; ++pad) {
        const QByteArray before = QByteArray(pad, 'p') + ": 0\n";
        QTest::addRow("a key at %d bytes, the last line", pad + 4) << before + "wanted: 1" << Script{"set wanted=2"} << before + "wanted: 2";
    }
    for (const auto &[line, open] : bracketLines) {
        for (const int offset : {130, 186}) {
            if (!open)
                QTest::addRow("%s at %d, then a key", line.constData(), offset)
                        << bracketFile(line, offset) << Script{"set k=5"} << bracketFile(line, offset).replace("k: 3]", "k: 5");
        }
    }
    QTest::newRow("a document marker with a comment") << QByteArray("--- # doc\n  k: 1\n") << Script{"set k=2"}
                                                       << QByteArray("--- # doc\n  k: 2\n");
    QTest::newRow("a comment line that reads as an entry, then an indented key")
            << QByteArray("# a: 1\n  b: 2\n") << Script{"set b=3"} << QByteArray("# a: 1\n  b: 3\n");
    QTest::newRow("a dash alone, its item below") << QByteArray("l:\n  -\n    k: 1\n") << Script{"set k=2"}
                                                  << QByteArray("l:\n  -\n    k: 2\n");
    QTest::newRow("a key in quotes, its value below") << QByteArray("\"q\":\n  - 1\nk: 1\n") << Script{"set k=2"}
                                                       << QByteArray("\"q\":\n  - 1\nk: 2\n");
    QTest::newRow("an ampersand in a word, no anchor") << QByteArray("a: x&y\nb: *y\n") << Script{"set a=2"}
                                                       << QByteArray("a: 2\nb: *y\n");
    QTest::newRow("an anchor in a comment line, which YAML ignores")
            << QByteArray("# a: &x 1\nb: *x\n") << Script{"set # a=2"} << QByteArray("# a: 2\nb: *x\n");
    // A value's lines go with it.
    QTest::newRow("flow list over lines") << QByteArray("data: [1,\n  2,\n  3]\nnext: 1\n") << Script{"list data=7"} << QByteArray("data: [7]\nnext: 1\n");
    QTest::newRow("comments in a flow list") << QByteArray("a: [1, # c\n  # x\n  2]\nb: 1\n") << Script{"set a=5"} << QByteArray("a: 5\nb: 1\n");
    QTest::newRow("a bracket in quotes in a flow list") << QByteArray("a: [\"x]\", 1,\n  2]\nb: 1\n") << Script{"set a=5"} << QByteArray("a: 5\nb: 1\n");
    QTest::newRow("flow mapping over lines") << QByteArray("f: {a,\n  b}\nn: 1\n") << Script{"set f=x"} << QByteArray("f: x\nn: 1\n");
    QTest::newRow("single quotes over lines") << QByteArray("q: 'it''s\n  long'\nn: 1\n") << Script{"set q=x"} << QByteArray("q: x\nn: 1\n");
    QTest::newRow("double quotes over lines") << QByteArray("q: \"a \\\"b\n  c\"\nn: 1\n") << Script{"set q=x"} << QByteArray("q: x\nn: 1\n");
    QTest::newRow("block scalar, blank line after") << QByteArray("s: |\n  one\n\n  two\n\nn: 1\n") << Script{"set s=x"} << QByteArray("s: x\n\nn: 1\n");
    QTest::newRow("folded scalar, comment after") << QByteArray("s: >- # c\n  a\n# next\nn: 1\n") << Script{"set s=x"} << QByteArray("s: x\n# next\nn: 1\n");
    QTest::newRow("plain scalar over lines") << QByteArray("p: a\n  b\n\n  c\n# d\n  e\n") << Script{"set p=x"} << QByteArray("p: x\n# d\n  e\n");
    QTest::newRow("block lists at both indentations") << QByteArray("l:\n  - a\n  # c\n  - b\nm:\n- c\n- [d,\ne]\nn: 1\n") << Script{"set l=x", "remove m"}
                                                      << QByteArray("l: x\nn: 1\n");
    QTest::newRow("anchor and tag before a block") << QByteArray("d: &base !!map\n  - 1\nn: 1\n") << Script{"set d=x"} << QByteArray("d: x\nn: 1\n");
    QTest::newRow("comment entries among value lines stay") << QByteArray("k: [1,\n# c: 2\n  3]\nx: |\n  # d: 4\n  y\n") << Script{"remove k", "set x=z"}
                                                           << QByteArray("# c: 2\nx: z\n  # d: 4\n");
    QTest::newRow("a comment line that reads as an entry") << QByteArray("# rate: 5\nrate: 1\n") << Script{"set # rate=6"} << QByteArray("# rate: 6\nrate: 1\n");
    QTest::newRow("a key nested in itself") << QByteArray("k:\n  k: 1\nx: 2\n") << Script{"remove k"} << QByteArray("x: 2\n");
    QTest::newRow("value lines, CRLF") << QByteArray("g: [1,\r\n  2]\r\nn: 1\r\n") << Script{"list g=3", "set m=4"} << QByteArray("g: [3]\r\nn: 1\r\nm: 4\r\n");
    QTest::newRow("value lines to the end, no final line feed") << QByteArray("a: 1\nl: [1,\n  2]") << Script{"set l=x"} << QByteArray("a: 1\nl: x\n");
    QTest::newRow("a second set read on from the first one's place") << QByteArray("note: this is\n  \"quoted\nk: 2\n") << Script{"set k=3", "set k=4"}
                                                                     << QByteArray("note: this is\n  \"quoted\nk: 4\n");
    QTest::newRow("new line after value lines, no final line feed") << QByteArray("l: [1,\n  2]") << Script{"set n=1"} << QByteArray("l: [1,\n  2]\nn: 1\n");
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
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("why");
    const QByteArray k = "k: 1\n";
    QTest::newRow("key with a colon") << k << Script{"set a:b=1"} << "a key may not hold a colon";
    QTest::newRow("key with a line feed") << k << Script{"set a\nb=1"} << "a key may not hold a line feed";
    QTest::newRow("key with a NUL") << k << Script{QStringLiteral("set a") + QChar(0) + QStringLiteral("=1")}
                                    << "a key may not hold a NUL byte";
    QTest::newRow("key with a blank at its end")
            << k << Script{"set a =1"} << "a key may not start or end with white space";
    QTest::newRow("key with a tab at its start")
            << k << Script{"set \ta=1"} << "a key may not start or end with white space";
    QTest::newRow("key not Latin-1") << k << Script{QStringLiteral("set \u20ac=1")}
                                     << "a key may hold only Latin-1 characters, a byte each";
    QTest::newRow("item with a colon") << k << Script{"set k=06:30"} << "an item may not hold a colon";
    QTest::newRow("item with a line feed") << k << Script{"list k=a|b\nc"} << "an item may not hold a line feed";
    QTest::newRow("item with a double quote") << k << Script{"set k=\"a\""} << "an item may not hold a double quote";
    QTest::newRow("list item with a comma") << k << Script{"list k=a,b"} << "an item of a list may not hold a comma";
    QTest::newRow("list item with a bracket")
            << k << Script{"list k=[a]"} << "an item of a list may not hold a bracket";
    QTest::newRow("remove of a key not there") << k << Script{"remove gone"} << "the key is not there";
    QTest::newRow("remove of a key removed") << k << Script{"remove k", "remove k"} << "the key is not there";
    // What YAML readers would not keep.
    const QString drop = QStringLiteral(": changing it would drop them, or break the file for YAML");
    const QString breaks = QStringLiteral(": changing it would break the file for YAML");
    QTest::newRow("a nested mapping")
            << QByteArray("m:\n  a: 1\n") << Script{"set m=1"}
            << "the value of key \"m\" on line 1 goes on to line 2 and holds other keys (\"a\" on line 2)" + drop;
    QTest::newRow("a list of mappings")
            << QByteArray("x: 0\nl:\n- a: 1\n  b: 2\n") << Script{"remove l"}
            << "the value of key \"l\" on line 2 goes on to line 4 and holds other keys (\"- a\" on line 3)" + drop;
    QTest::newRow("an item of a list") << QByteArray("l:\n  - '5432:5432'\n  - a: 1\n") << Script{"set - a=2"}
                                       << "key \"- a\" on line 3 is an item of a list to YAML, not a key" + breaks;
    QTest::newRow("in a block scalar") << QByteArray("s: |\n  a: 1\n") << Script{"set a=2"}
                                       << "key \"a\" on line 2 is part of the value that line 1 begins, to YAML"
                    + breaks;
    QTest::newRow("in a flow mapping") << QByteArray("f: {x,\n  a: 1}\n") << Script{"remove a"}
                                       << "key \"a\" on line 2 is part of the value that line 1 begins, to YAML"
                    + breaks;
    QTest::newRow("in double quotes, at the margin")
            << QByteArray("q: \"a\nb: 1\"\nc: 2\n") << Script{"set b=2"}
            << "key \"b\" on line 2 is part of the value that line 1 begins, to YAML" + breaks;
    QTest::newRow("in double quotes") << QByteArray("q: \"x\n\n  # a: 1\"\n") << Script{"set # a=2"}
                                      << "key \"# a\" on line 3 is part of the value that line 1 begins, to YAML"
                    + breaks;
    QTest::newRow("in a plain scalar") << QByteArray("p: x\n  a:1\n") << Script{"set a=2"}
                                       << "key \"a\" on line 2 is part of the value that line 1 begins, to YAML"
                    + breaks;
    QTest::newRow("an anchor used elsewhere")
            << QByteArray("a: [&x 1]\nb: *x\n") << Script{"set a=2"}
            << "the value of key \"a\" on line 1 holds the anchor &x, which line 2 uses" + breaks;
    QTest::newRow("an anchor on a nested block's line")
            << QByteArray("a:\n  - 1\n  - &x 2\nb: *x\n") << Script{"set a=2"}
            << "the value of key \"a\" on line 1 holds the anchor &x, which line 4 uses" + breaks;
    QTest::newRow("an anchor on a flow list's next line")
            << QByteArray("b: 0\na: [1,\n  &x 2]\nb: [*x]\n") << Script{"remove a"}
            << "the value of key \"a\" on line 2 holds the anchor &x, which line 4 uses" + breaks;
    for (const auto &[line, open] : bracketLines) {
        for (const int offset : {130, 186}) {
            if (open)
                QTest::addRow("%s at %d, then a key within it", line.constData(), offset)
                        << bracketFile(line, offset) << Script{"set k=5"}
                        << "key \"k\" on line 3 is part of the value that line 2 begins, to YAML" + breaks;
        }
    }
    QTest::newRow("in a flow list after a key in quotes with an escape")
            << QByteArray("\"a\\\"b\": [1,\n  k: 2]\n") << Script{"set k=3"}
            << "key \"k\" on line 2 is part of the value that line 1 begins, to YAML" + breaks;
    QTest::newRow("a key just past Latin-1")
            << k << Script{QStringLiteral("set \u0100=1")} << "a key may hold only Latin-1 characters, a byte each";
    QTest::newRow("an item just past Latin-1")
            << k << Script{QStringLiteral("set k=\u0100")} << "an item may hold only Latin-1 characters, a byte each";
    QTest::newRow("the merge key")
            << QByteArray("m:\n  <<: *base\n") << Script{"set <<=1"}
            << "key \"<<\" on line 2 merges mappings for YAML, which no value of this format is: setting it"
               " would break the file for YAML";
}

// Refused: false, why, and nothing changed.
void tst_Editor::refused()
{
    QFETCH(QByteArray, content);
    QFETCH(Script, script);
    QFETCH(QString, why);
    Editor editor;
    QVERIFY(editor.load(write(content)));
    Entries entries = parsed(content);
    QSet<QString> keys;
    bool taken = true;
    run(editor, script, entries, keys, taken);
    QVERIFY(!taken);
    QCOMPARE(editor.errorString(), why);
    QCOMPARE(parsed(editor.contents()), entries);
    if (script.size() == 1)
        QCOMPARE(editor.contents(), content);
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

// Another program's change of one byte, the size kept, is found wherever it
// stands against the blocks in which the file is read again under the lock.
void tst_Editor::saveMergesAtBlockEdges_data()
{
    QTest::addColumn<int>("at");
    for (const int at : {65535, 65536, 65537, 70004})
        QTest::addRow("a byte at %d", at) << at;
}

void tst_Editor::saveMergesAtBlockEdges()
{
    QFETCH(int, at);
    const QByteArray content = "k: 1\np: " + QByteArray(70000, 'x') + "\n";
    const QString file = write(content);
    Editor editor;
    QVERIFY(editor.load(file));
    QVERIFY(editor.setEntryForKey(QStringLiteral("k"), QStringLiteral("2")));
    QByteArray other = content;
    other[at] = 'y';
    write(other, QFileInfo(file).fileName());
    QVERIFY2(editor.save(), qPrintable(editor.errorString()));
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), other.replace("k: 1", "k: 2"));
}

void tst_Editor::saveKeepsTheFileKind_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"permission bits 0640", "permission bits 0600", "symbolic link", "dangling link",
                             "missing", "missing, no edit", "hard link, set as it was"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

// A save writes what it names: the permission bits stay, a link stays a link,
// a file that does not exist is created; a save that changes nothing writes
// nothing, so that a hard link stays one.
void tst_Editor::saveKeepsTheFileKind()
{
    QFETCH(QString, kind);
    const QString name = QStringLiteral("kind-") + QString::number(++m_files);
    const QString target = m_dir.filePath(name + QStringLiteral(".target"));
    QString file = m_dir.filePath(name);
    const bool missing = kind.startsWith(QLatin1String("missing")) || kind == QLatin1String("dangling link");
    const bool unchanged = kind.startsWith(QLatin1String("hard link"));
    const QByteArray before = missing ? "" : "k: 1\n";
    if (!before.isEmpty())
        write(before, QFileInfo(target).fileName());
    if (kind.endsWith(QLatin1String("link")))
        QVERIFY(QFile::link(QFileInfo(target).fileName(), file));
    else if (unchanged)
        QCOMPARE(::link(QFile::encodeName(target).constData(), QFile::encodeName(file).constData()), 0);
    else
        file = target;
    const mode_t mode = kind.endsWith(QLatin1String("0600")) ? 0600 : 0640;
    if (!before.isEmpty())
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), mode), 0);
    struct stat old;
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &old) == 0, !missing);

    Editor editor;
    QVERIFY(editor.load(file));
    const bool edit = kind != QLatin1String("missing, no edit");
    if (edit)
        QVERIFY(editor.setEntryForKey(QStringLiteral("k"), QString::fromLatin1(unchanged ? "1" : "2")));
    QVERIFY2(editor.save(), qPrintable(editor.errorString()));
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray(!edit ? "" : unchanged ? "k: 1\n" : "k: 2\n"));
    QCOMPARE(QFileInfo(file).isSymLink(), kind.endsWith(QLatin1String("link")) && !unchanged);
    struct stat status;
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &status), 0);
    if (!before.isEmpty())
        QCOMPARE(status.st_mode & 0777, mode);
    if (unchanged) {
        QCOMPARE(status.st_ino, old.st_ino);
        QCOMPARE(status.st_nlink, nlink_t(2));
    }
}

// One editor, several saves and files: each save keeps what the ones before
// it wrote; a second load drops the first file's edits; a file deleted since
// load holds nothing, and gets the edits alone.
void tst_Editor::saveAgain_data()
{
    QTest::addColumn<Script>("steps"); // edits as run() takes them, "save", "load other", "delete", and
                                       // "contents": the bytes the file ends with, before the last save
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("other");
    const QByteArray other = "o: 1\n";
    QTest::newRow("saves one after another")
            << Script{"set a=2", "save", "set b=3", "contents", "save"} << QByteArray("a: 2\nb: 3\n") << other;
    QTest::newRow("a second load") << Script{"set a=2", "load other", "set o=2", "save"} << QByteArray("a: 1\nb: 2\n")
                                   << QByteArray("o: 2\n");
    QTest::newRow("deleted since load") << Script{"set a=5", "delete", "save"} << QByteArray("a: 5\n") << other;
}

void tst_Editor::saveAgain()
{
    QFETCH(Script, steps);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, other);
    const QString path = write("a: 1\nb: 2\n");
    const QString otherPath = write("o: 1\n");
    Editor editor;
    QVERIFY(editor.load(path));
    for (const QString &step : steps) {
        Entries entries;
        QSet<QString> keys;
        bool taken = false;
        if (step == QLatin1String("save"))
            QVERIFY2(editor.save(), qPrintable(editor.errorString()));
        else if (step == QLatin1String("load other"))
            QVERIFY(editor.load(otherPath));
        else if (step == QLatin1String("delete"))
            QVERIFY(QFile::remove(path));
        else if (step == QLatin1String("contents"))
            QCOMPARE(editor.contents(), file);
        else
            run(editor, {step}, entries, keys, taken);
    }
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), file);
    QFile savedOther(otherPath);
    QVERIFY(savedOther.open(QIODevice::ReadOnly));
    QCOMPARE(savedOther.readAll(), other);
}

// A live holder of the lock is waited for, then named; an empty lock file
// that no process holds (its holder died before it wrote its id) is not.
void tst_Editor::saveWaitsForALiveLock_data()
{
    QTest::addColumn<int>("links"); // saved through symbolic links: the lock is the target's
    QTest::newRow("the file") << 0;
    QTest::newRow("a link to it") << 1;
    QTest::newRow("40 links to it, as many as the system follows") << 40;
}

void tst_Editor::saveWaitsForALiveLock()
{
    QFETCH(int, links);
    const QString file = write("k: 1\n");
    QString link = file;
    for (int i = 1; i <= links; ++i) {
        const QString next = file + QStringLiteral(".link%1").arg(i);
        QVERIFY(QFile::link(link, next));
        link = next;
    }
    Editor editor;
    QVERIFY(editor.load(link));
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
    QTest::newRow("a pipe, written in two parts")
            << "pipe" << true << "cannot save %1: it is not a regular file, which a save would replace";
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
    QProcess writer; // a writer that pauses: reads that bring less than asked are not the end
    if (file == QLatin1String("pipe")) {
        file = m_dir.filePath(QStringLiteral("pipe-%1").arg(++m_files));
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        writer.start(QStringLiteral("sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("{ printf 'a: 1\\n'; sleep 0.3; printf 'b: 2\\n'; }"
                                     " > \"$1\""),
                      QStringLiteral("sh"), file});
    }
    const QByteArray before = editor.contents();
    if (!file.isEmpty())
        QCOMPARE(editor.load(file), loads);
    if (writer.waitForFinished())
        QCOMPARE(editor.contents(), QByteArray("a: 1\nb: 2\n"));
    if (loads)
        QVERIFY(!editor.save());
    QCOMPARE(editor.errorString(), file.isEmpty() ? why : why.arg(file));
    if (!loads)
        QCOMPARE(editor.contents(), before);
}

QTEST_GUILESS_MAIN(tst_Editor)
#include "tst_editor.moc"
