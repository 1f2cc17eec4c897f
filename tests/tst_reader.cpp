// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

#include <plinto/yaml.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include <cstring>
#include <limits>
#include <memory>
#include <thread>

using plinto::yaml::EntryType;
using plinto::yaml::Finding;
using plinto::yaml::ListEntry;
using plinto::yaml::Reader;
using plinto::yaml::SingleEntry;

using Entries = QMap<QString, QStringList>;
Q_DECLARE_METATYPE(Entries)
Q_DECLARE_METATYPE(plinto::yaml::EntryType)

class tst_Reader : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void lookups_data();
    void lookups();
    void manyKeysLastLineWins_data();
    void manyKeysLastLineWins();
    void parseAddsToStore();
    void failedParseKeepsStore_data();
    void failedParseKeepsStore();
    void parseDevice_data();
    void parseDevice();
    void findings_data();
    void findings();
    void storedTextsAreValues_data();
    void storedTextsAreValues();

private:
    QString write(const QByteArray &content);
    QTemporaryDir m_dir;
    int m_files = 0;
};

QString tst_Reader::write(const QByteArray &content)
{
    const QString path = m_dir.filePath(QString::number(++m_files) + QStringLiteral(".yaml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

static QString latin1(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

void tst_Reader::parse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Entries>("expected");

    // The format's reference examples, one line each.
    QTest::newRow("name: robot") << QByteArray("name: robot\n") << Entries{{"name", {"robot"}}};
    QTest::newRow("gains: [1.5, 2, x]") << QByteArray("gains: [1.5, 2, x]\n") << Entries{{"gains", {"1.5", "2", "x"}}};
    QTest::newRow("empty: []") << QByteArray("empty: []\n") << Entries{{"empty", {}}};
    QTest::newRow("one: [7]") << QByteArray("one: [7]\n") << Entries{{"one", {"7"}}};
    QTest::newRow("blanks: [a, , b]") << QByteArray("blanks: [a, , b]\n") << Entries{{"blanks", {"a", "", "b"}}};
    QTest::newRow("blanks: [a,,b]") << QByteArray("blanks: [a,,b]\n") << Entries{{"blanks", {"a", "b"}}};
    QTest::newRow("nested: [a, [b], c]") << QByteArray("nested: [a, [b], c]\n") << Entries{{"nested", {"a", "b", "c"}}};
    QTest::newRow("half: [a, b") << QByteArray("half: [a, b\n") << Entries{{"half", {"[a, b"}}};
    QTest::newRow("half: a, b]") << QByteArray("half: a, b]\n") << Entries{{"half", {"a, b]"}}};
    QTest::newRow("time: 12:30") << QByteArray("time: 12:30\n") << Entries{};
    QTest::newRow("a::b") << QByteArray("a::b\n") << Entries{{"a", {"b"}}};
    QTest::newRow("no colon") << QByteArray("just some text\n") << Entries{};
    QTest::newRow("quoted scalar") << QByteArray("q: \"a, b\"\n") << Entries{{"q", {"a, b"}}};
    QTest::newRow("quoted list") << QByteArray("q: [\"a, b\", c]\n") << Entries{{"q", {"a", "b", "c"}}};
    QTest::newRow("quotes keep spaces") << QByteArray("q: \" a b \"\n") << Entries{{"q", {" a b "}}};
    QTest::newRow("quoted key") << QByteArray("\"k\": v\n") << Entries{{"\"k\"", {"v"}}};
    QTest::newRow("single quotes") << QByteArray("k: 'v'\n") << Entries{{"k", {"'v'"}}};
    QTest::newRow("hash") << QByteArray("# note: x\n") << Entries{{"# note", {"x"}}};
    QTest::newRow("nested mapping") << QByteArray("parent:\n  child: 1\n")
                                    << Entries{{"parent", {""}}, {"child", {"1"}}};

    // Colons at the end, with and without a line feed after them.
    QTest::newRow("key colon LF") << QByteArray("k:\n") << Entries{{"k", {""}}};
    QTest::newRow("key colon EOF") << QByteArray("k:") << Entries{};
    QTest::newRow("value colon LF") << QByteArray("k: v:\n") << Entries{};
    QTest::newRow("value colon EOF") << QByteArray("k: v:") << Entries{{"k", {"v"}}};
    QTest::newRow("last line without LF") << QByteArray("a: 1\nb: 2") << Entries{{"a", {"1"}}, {"b", {"2"}}};
    QTest::newRow("lone colon") << QByteArray(":\n") << Entries{};

    // White space.
    QTest::newRow("only spaces value") << QByteArray("k:   \n") << Entries{{"k", {""}}};
    QTest::newRow("empty key") << QByteArray("   : v\n") << Entries{{"", {"v"}}};
    QTest::newRow("bracketed space") << QByteArray("k: [ ]\n") << Entries{{"k", {""}}};
    QTest::newRow("tabs and vt ff") << QByteArray("\t k \v: \f v \t\n") << Entries{{"k", {"v"}}};
    QTest::newRow("inner spaces stay") << QByteArray("a key: a value\n") << Entries{{"a key", {"a value"}}};

    // Line ends.
    QTest::newRow("CRLF") << QByteArray("a: 1\r\nb: [x, y]\r\n") << Entries{{"a", {"1"}}, {"b", {"x", "y"}}};
    QTest::newRow("key colon CRLF") << QByteArray("k:\r\n") << Entries{{"k", {""}}};
    QTest::newRow("value colon CRLF") << QByteArray("k: v:\r\n") << Entries{};
    QTest::newRow("key colon CR at EOF") << QByteArray("a:\r") << Entries{{"a", {""}}};
    QTest::newRow("lone CR inside") << QByteArray("k: a\rb\n") << Entries{{"k", {latin1("a\rb")}}};
    QTest::newRow("CR only line ends") << QByteArray("a: 1\rb: 2\r") << Entries{};
    QByteArray filler;
    while (filler.size() < (1 << 20))
        filler += "filler_line_without_a_colon_for_padding\n";
    QTest::newRow("CRs across the read buffer")
            << filler + QByteArray("k: a\rb\r\nl: c\r\n") << Entries{{"k", {latin1("a\rb")}}, {"l", {"c"}}};

    // NUL bytes end a line's text.
    QTest::newRow("NUL in value") << QByteArray("k: v\0junk\n", 10) << Entries{{"k", {"v"}}};
    QTest::newRow("NUL after colon") << QByteArray("k:\0 v\n", 6) << Entries{};
    QTest::newRow("NUL after final colon") << QByteArray("k: v:\0\n", 7) << Entries{{"k", {"v"}}};
    QTest::newRow("NUL then a long tail")
            << QByteArray("k: v", 4) + QByteArray(3 << 20, '\0') + QByteArray("x\nnext: 1\n")
            << Entries{{"k", {"v"}}, {"next", {"1"}}};
    QTest::newRow("NUL then next line") << QByteArray("a\0: 1\nb: 2\n", 11) << Entries{{"b", {"2"}}};

    // Bytes above 127 pass through; only ASCII white space is trimmed.
    QTest::newRow("UTF-8 key and item") << QByteArray("cl\xC3\xA9: \xC3\xA0\n")
                                        << Entries{{latin1("cl\xC3\xA9"), {latin1("\xC3\xA0")}}};
    QTest::newRow("0xA0 and 0x85 at the ends") << QByteArray("\xA0k\x85: [\xA0, \x85]\n")
                                               << Entries{{latin1("\xA0k\x85"), {latin1("\xA0"), latin1("\x85")}}};
    QTest::newRow("BOM at start") << QByteArray("\xEF\xBB\xBFname: robot\n") << Entries{{"name", {"robot"}}};
    QTest::newRow("BOM alone") << QByteArray("\xEF\xBB\xBF") << Entries{};
    QTest::newRow("BOM later") << QByteArray("a: 1\n\xEF\xBB\xBF"
                                             "b: 2\n")
                               << Entries{{"a", {"1"}},
                                          {latin1("\xEF\xBB\xBF"
                                                  "b"),
                                           {"2"}}};

    // Several lines.
    QTest::newRow("ties on a long shared head")
            << QByteArray("b: 1\naaaaaaaaaaaaaaaaZ: first\naaaaaaaaaaaaaaaaA: x\naaaaaaaaaaaaaaaaZ: second\n")
            << Entries{{"b", {"1"}}, {"aaaaaaaaaaaaaaaaA", {"x"}}, {"aaaaaaaaaaaaaaaaZ", {"second"}}};
    QTest::newRow("last duplicate wins") << QByteArray("k: 1\nk: [2, 3]\n") << Entries{{"k", {"2", "3"}}};
    QTest::newRow("empty file") << QByteArray() << Entries{};
    QTest::newRow("long line") << QByteArray("k: [") + QByteArray(3 << 20, 'x') + QByteArray(", y]\n")
                               << Entries{{"k", {QString(3 << 20, QLatin1Char('x')), "y"}}};

    // Texts around the sizes where they stop sharing a block of text, first in
    // a file, where the block is smallest (a line's items are made before its key).
    const auto text = [](int size, char c) { return QByteArray(size, c); };
    const auto string = [](int size, char c) { return QString(size, QLatin1Char(c)); };
    QTest::newRow("first key of 600 bytes") << text(600, 'k') + ": []\n" << Entries{{string(600, 'k'), {}}};
    QTest::newRow("first item of 512 bytes") << "k: " + text(512, 'v') + "\n" << Entries{{"k", {string(512, 'v')}}};
    QTest::newRow("first item of 600 bytes") << "k: " + text(600, 'v') + "\n" << Entries{{"k", {string(600, 'v')}}};
    QTest::newRow("texts of 255, 256 and 257 bytes")
            << text(255, 'a') + ": [" + text(256, 'b') + ", " + text(257, 'c') + "]\n" + text(256, 'd') + ": "
                    + text(255, 'e') + "\n"
            << Entries{{string(255, 'a'), {string(256, 'b'), string(257, 'c')}},
                       {string(256, 'd'), {string(255, 'e')}}};
}

// Each row through a file, through a QBuffer, and with findings: one store.
void tst_Reader::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(Entries, expected);
    Reader reader;
    QVERIFY(reader.parse(write(content)));
    QCOMPARE(reader.entries, expected);

    QBuffer buffer(&content);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    Reader fromDevice;
    QVERIFY(fromDevice.parse(&buffer));
    QCOMPARE(fromDevice.entries, expected);

    Reader withFindings;
    QList<Finding> findings;
    QVERIFY(withFindings.parse(write(content), findings));
    QCOMPARE(withFindings.entries, expected);
}

// What the lookups with a fallback return in its place.
constexpr double realFallback = -1.5;
constexpr qint64 integerFallback = 4242;
constexpr int boolFallback = -1; // else 0 or 1

void tst_Reader::lookups_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<EntryType>("type");
    QTest::addColumn<double>("real");
    QTest::addColumn<QVector<double>>("reals");
    QTest::addColumn<double>("realOr");
    QTest::addColumn<qint64>("integer");
    QTest::addColumn<int>("boolean");

    const double rF = realFallback;
    const qint64 iF = integerFallback;
    const int bF = boolFallback;
    // clang-format off
    QTest::newRow("absent") << "nothing" << QStringList{} << QString() << SingleEntry << 0.0 << QVector<double>{} << rF << iF << bF;
    QTest::newRow("no item") << "empty" << QStringList{} << QString() << SingleEntry << 0.0 << QVector<double>{} << rF << iF << bF;
    QTest::newRow("single") << "rate" << QStringList{"2.5"} << "2.5" << SingleEntry << 2.5 << QVector<double>{2.5} << 2.5 << iF << bF;
    QTest::newRow("one bracketed") << "one" << QStringList{"7"} << "7" << SingleEntry << 7.0 << QVector<double>{7} << 7.0 << qint64(7) << bF;
    QTest::newRow("list") << "gains" << QStringList{"1.5", "2", "x"} << "1.5" << ListEntry << 1.5 << QVector<double>{1.5, 2, 0} << 1.5 << iF << bF;
    QTest::newRow("empty item") << "blank" << QStringList{""} << "" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << bF;
    QTest::newRow("word") << "name" << QStringList{"robot"} << "robot" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << bF;
    QTest::newRow("decimal comma") << "comma" << QStringList{"2,5"} << "2,5" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << bF;
    QTest::newRow("other case") << "NAME" << QStringList{} << QString() << SingleEntry << 0.0 << QVector<double>{} << rF << iF << bF;
    QTest::newRow("spaced key") << " name" << QStringList{} << QString() << SingleEntry << 0.0 << QVector<double>{} << rF << iF << bF;
    QTest::newRow("emptied by a program") << "emptied" << QStringList{} << QString() << SingleEntry << 0.0 << QVector<double>{} << rF << iF << bF;
    QTest::newRow("zero") << "zero" << QStringList{"0"} << "0" << SingleEntry << 0.0 << QVector<double>{0} << 0.0 << qint64(0) << bF;

    // Whole numbers: a sign and decimal digits, within qint64.
    QTest::newRow("12") << "i1" << QStringList{"12"} << "12" << SingleEntry << 12.0 << QVector<double>{12} << 12.0 << qint64(12) << bF;
    QTest::newRow("-3") << "i2" << QStringList{"-3"} << "-3" << SingleEntry << -3.0 << QVector<double>{-3} << -3.0 << qint64(-3) << bF;
    QTest::newRow("+7") << "i3" << QStringList{"+7"} << "+7" << SingleEntry << 7.0 << QVector<double>{7} << 7.0 << qint64(7) << bF;
    QTest::newRow("007") << "i4" << QStringList{"007"} << "007" << SingleEntry << 7.0 << QVector<double>{7} << 7.0 << qint64(7) << bF;
    QTest::newRow("1.0") << "i5" << QStringList{"1.0"} << "1.0" << SingleEntry << 1.0 << QVector<double>{1} << 1.0 << iF << bF;
    QTest::newRow("1e3") << "i6" << QStringList{"1e3"} << "1e3" << SingleEntry << 1e3 << QVector<double>{1e3} << 1e3 << iF << bF;
    QTest::newRow("0x10") << "i7" << QStringList{"0x10"} << "0x10" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << bF;
    QTest::newRow("12abc") << "i8" << QStringList{"12abc"} << "12abc" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << bF;
    QTest::newRow("a space") << "i9" << QStringList{" "} << " " << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << bF;
    QTest::newRow("sign alone") << "i10" << QStringList{"-"} << "-" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << bF;
    QTest::newRow("qint64 max") << "i11" << QStringList{"9223372036854775807"} << "9223372036854775807" << SingleEntry
                                << 9223372036854775807.0 << QVector<double>{9223372036854775807.0} << 9223372036854775807.0
                                << std::numeric_limits<qint64>::max() << bF;
    QTest::newRow("qint64 max + 1") << "i12" << QStringList{"9223372036854775808"} << "9223372036854775808" << SingleEntry
                                    << 9223372036854775808.0 << QVector<double>{9223372036854775808.0} << 9223372036854775808.0
                                    << iF << bF;
    QTest::newRow("qint64 min") << "i13" << QStringList{"-9223372036854775808"} << "-9223372036854775808" << SingleEntry
                                << -9223372036854775808.0 << QVector<double>{-9223372036854775808.0} << -9223372036854775808.0
                                << std::numeric_limits<qint64>::min() << bF;
    QTest::newRow("qint64 min - 1") << "i14" << QStringList{"-9223372036854775809"} << "-9223372036854775809" << SingleEntry
                                    << -9223372036854775808.0 << QVector<double>{-9223372036854775808.0} << -9223372036854775808.0
                                    << iF << bF;
    QTest::newRow("twenty digits") << "i15" << QStringList{"18446744073709551626"} << "18446744073709551626" << SingleEntry
                                   << 18446744073709551616.0 << QVector<double>{18446744073709551616.0} << 18446744073709551616.0
                                   << iF << bF;
    QTest::newRow("integer list") << "i16" << QStringList{"42", "x"} << "42" << ListEntry << 42.0 << QVector<double>{42, 0} << 42.0 << qint64(42) << bF;

    // Yes or no: YAML 1.2's six spellings, nothing else.
    QTest::newRow("true") << "b1" << QStringList{"true"} << "true" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << 1;
    QTest::newRow("True") << "b2" << QStringList{"True"} << "True" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << 1;
    QTest::newRow("TRUE") << "b3" << QStringList{"TRUE"} << "TRUE" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << 1;
    QTest::newRow("false") << "b4" << QStringList{"false"} << "false" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << 0;
    QTest::newRow("False") << "b5" << QStringList{"False"} << "False" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << 0;
    QTest::newRow("FALSE") << "b6" << QStringList{"FALSE"} << "FALSE" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << 0;
    QTest::newRow("tRUE") << "b7" << QStringList{"tRUE"} << "tRUE" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << bF;
    QTest::newRow("yes") << "b8" << QStringList{"yes"} << "yes" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << bF;
    QTest::newRow("on") << "b9" << QStringList{"on"} << "on" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << bF;
    QTest::newRow("1") << "b10" << QStringList{"1"} << "1" << SingleEntry << 1.0 << QVector<double>{1} << 1.0 << qint64(1) << bF;
    QTest::newRow("quoted true") << "b11" << QStringList{"true"} << "true" << SingleEntry << 0.0 << QVector<double>{0} << rF << iF << 1;
    QTest::newRow("yes-or-no list") << "b12" << QStringList{"false", "true"} << "false" << ListEntry << 0.0 << QVector<double>{0, 0} << rF << iF << 0;
    // clang-format on
}

void tst_Reader::lookups()
{
    QFETCH(QString, key);
    QFETCH(QStringList, items);
    QFETCH(QString, entry);
    QFETCH(EntryType, type);
    QFETCH(double, real);
    QFETCH(QVector<double>, reals);
    QFETCH(double, realOr);
    QFETCH(qint64, integer);
    QFETCH(int, boolean);

    Reader reader;
    QVERIFY(reader.parse(write("name: robot\ngains: [1.5, 2, x]\nempty: []\none: [7]\n"
                               "rate: 2.5\ncomma: 2,5\nblank:\nzero: 0\n"
                               "i1: 12\ni2: -3\ni3: +7\ni4: 007\ni5: 1.0\ni6: 1e3\ni7: 0x10\ni8: 12abc\ni9: \" \"\n"
                               "i10: -\ni11: 9223372036854775807\ni12: 9223372036854775808\n"
                               "i13: -9223372036854775808\ni14: -9223372036854775809\ni15: 18446744073709551626\n"
                               "i16: [42, x]\nb1: true\nb2: True\nb3: TRUE\nb4: false\nb5: False\nb6: FALSE\nb7: tRUE\n"
                               "b8: yes\nb9: on\nb10: 1\nb11: \"true\"\nb12: [false, true]\n")));
    QStringList emptied{QStringLiteral("gone")}; // a list that held an item, as a program may store it
    emptied.removeLast();
    reader.entries.insert(QStringLiteral("emptied"), emptied);
    QCOMPARE(reader.listEntryForKey(key), items);
    QCOMPARE(reader.entryForKey(key), entry);
    QCOMPARE(reader.entryForKey(key).isNull(), entry.isNull());
    QCOMPARE(reader.entryTypeForKey(key), type);
    QCOMPARE(reader.realEntryForKey(key), real);
    QCOMPARE(reader.realVectorEntryForKey(key), reals);

    const QString fallback = QStringLiteral("fallback");
    QCOMPARE(reader.entryForKey(key, fallback), entry.isNull() ? fallback : entry);
    QCOMPARE(reader.realEntryForKey(key, realFallback), realOr);
    QCOMPARE(reader.integerEntryForKey(key, integerFallback), integer);
    QCOMPARE(reader.integerEntryForKey(key), integer == integerFallback ? 0 : integer);
    QCOMPARE(reader.boolEntryForKey(key, false), boolean == boolFallback ? false : bool(boolean));
    QCOMPARE(reader.boolEntryForKey(key, true), boolean == boolFallback ? true : bool(boolean));
    QCOMPARE(reader.boolEntryForKey(key), boolean == 1);
}

void tst_Reader::manyKeysLastLineWins_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("no shared prefix") << QByteArray();
    QTest::newRow("shared prefix") << QByteArray("section.");
    QTest::newRow("long shared prefix") << QByteArray("robot.drive.left.wheel.");
}

// Keys of many lengths that share leading bytes, repeated in random order:
// the store must hold each key's last line, as if every line were stored in
// turn.
void tst_Reader::manyKeysLastLineWins()
{
    QFETCH(QByteArray, prefix);
    QRandomGenerator random(42);
    QByteArray content;
    Entries expected;
    for (int line = 0; line < 5000; ++line) {
        QByteArray key = prefix;
        const int length = 1 + int(random.bounded(13));
        for (int i = 0; i < length; ++i)
            key += "ab\xe9"[random.bounded(3)];
        const QByteArray value = QByteArray::number(line);
        content += key + ": [" + value + ", x]\n";
        expected.insert(QString::fromLatin1(key), {QString::fromLatin1(value), "x"});
    }
    Reader reader;
    QVERIFY(reader.parse(write(content)));
    QCOMPARE(reader.entries, expected);
}

void tst_Reader::parseAddsToStore()
{
    Reader reader;
    reader.entries.insert(QStringLiteral("kept"), {QStringLiteral("0")});
    QVERIFY(reader.parse(write("b: 1\na: [2, 3]\n")));
    const QStringList before = reader.listEntryForKey(QStringLiteral("a"));
    QVERIFY(reader.parse(write("a: 4\nc: 5\n")));
    QCOMPARE(reader.keys(), (QStringList{"a", "b", "c", "kept"}));
    QCOMPARE(reader.listEntryForKey(QStringLiteral("a")), QStringList{"4"});
    QCOMPARE(before, (QStringList{"2", "3"})); // results are values of their own
}

void tst_Reader::failedParseKeepsStore_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.yaml"));
    QTest::newRow("directory") << m_dir.path();
    QTest::newRow("read error part-way") << QStringLiteral("/proc/self/mem");
    QTest::newRow("empty name") << QString();
}

void tst_Reader::failedParseKeepsStore()
{
    QFETCH(QString, fileName);
    Reader reader;
    QVERIFY(reader.parse(write("a: 1\nb: [2, 3]\n")));
    const Entries before = reader.entries;
    QVERIFY(!reader.parse(fileName));
    QCOMPARE(reader.entries, before);
}

// A device that hands out its bytes, then fails.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(const QByteArray &head) : m_head(head) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 size) override
    {
        if (m_head.isEmpty())
            return -1;
        const qint64 n = qMin(size, qint64(m_head.size()));
        std::memcpy(data, m_head.constData(), size_t(n));
        m_head.remove(0, int(n));
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_head;
};

static std::unique_ptr<QIODevice> device(const QString &kind, const QByteArray &content)
{
    if (kind == QLatin1String("pipe")) { // written in two parts by another thread
        int ends[2];
        if (::pipe(ends) != 0)
            qFatal("no pipe");
        std::thread([content, in = ends[1]] {
            const qsizetype half = content.size() / 2;
            if (::write(in, content.constData(), size_t(half)) == half)
                QThread::msleep(50);
            if (::write(in, content.constData() + half, size_t(content.size() - half)) < 0)
                qWarning("write to the pipe failed");
            ::close(in);
        }).detach();
        auto file = std::make_unique<QFile>();
        file->open(ends[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
        return file;
    }
    if (kind == QLatin1String("process")) { // with a pause between two writes
        const int half = int(content.size() / 2);
        auto process = std::make_unique<QProcess>();
        process->start(QStringLiteral("sh"),
                       {QStringLiteral("-c"), QStringLiteral("printf %s \"$1\"; sleep 0.2; printf %s \"$2\""),
                        QStringLiteral("sh"), QString::fromLatin1(content.left(half)),
                        QString::fromLatin1(content.mid(half))});
        process->waitForStarted();
        return process;
    }
    if (kind == QLatin1String("fails part-way"))
        return std::make_unique<FailingDevice>(content.left(content.size() / 2));
    if (kind == QLatin1String("null"))
        return nullptr;
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(content);
    if (kind == QLatin1String("buffer"))
        buffer->open(QIODevice::ReadOnly);
    else if (kind == QLatin1String("read part-way") || kind == QLatin1String("at its end"))
        buffer->open(QIODevice::ReadOnly);
    if (kind == QLatin1String("read part-way")) { // two lines read by the caller
        buffer->readLine();
        buffer->readLine();
    } else if (kind == QLatin1String("at its end")) {
        buffer->readAll();
    } else if (kind == QLatin1String("write-only"))
        buffer->open(QIODevice::WriteOnly);
    return buffer; // "closed": not open
}

void tst_Reader::parseDevice_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<Entries>("added"); // to the store's "kept: 0"
    QTest::addColumn<int>("findings");
    const Entries all{{"b", {"3"}}, {"name", {"robot"}}};
    for (const char *kind : {"buffer", "pipe", "process"})
        QTest::newRow(kind) << QString::fromLatin1(kind) << true << all << 2; // no colon; b overridden
    QTest::newRow("read part-way") << "read part-way" << true << Entries{{"b", {"3"}}} << 1;
    QTest::newRow("at its end") << "at its end" << true << Entries{} << 0;
    for (const char *kind : {"closed", "write-only", "fails part-way", "null"})
        QTest::newRow(kind) << QString::fromLatin1(kind) << false << Entries{} << 0;
}

static int messages = 0;
static void countMessage(QtMsgType, const QMessageLogContext &, const QString &)
{
    ++messages;
}

// Read from where the device stands to its end, with or without findings; a
// device that cannot be read changes nothing, and nobody says so but parse.
void tst_Reader::parseDevice()
{
    QFETCH(QString, kind);
    QFETCH(bool, ok);
    QFETCH(Entries, added);
    QFETCH(int, findings);
    const QByteArray content = "b: [1, 2]\nname: robot\nno colon\nb: 3\n";
    const Entries before{{"kept", {"0"}}};
    Entries after = before;
    after.insert(added);

    messages = 0;
    const QtMessageHandler testHandler = qInstallMessageHandler(countMessage);
    Reader reader;
    reader.entries = before;
    const bool parsed = reader.parse(device(kind, content).get());
    Reader withFindings;
    withFindings.entries = before;
    QList<Finding> found{Finding()}; // emptied first
    const bool parsedWithFindings = withFindings.parse(device(kind, content).get(), found);
    qInstallMessageHandler(testHandler);

    QCOMPARE(parsed, ok);
    QCOMPARE(reader.entries, after);
    QCOMPARE(parsedWithFindings, ok);
    QCOMPARE(withFindings.entries, after);
    QCOMPARE(found.size(), findings);
    QCOMPARE(messages, 0);
}

void tst_Reader::findings_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected"); // line, kind, text, the winning line

    QTest::newRow("no colon") << QByteArray("a: 1\nno colon here\n") << QStringList{"2 skipped no colon here"};
    QTest::newRow("comment lines") << QByteArray("# a comment\n# see: https://x\n  # indented\n#\n") << QStringList{};
    QTest::newRow("comment read as an entry") << QByteArray("# note: x\n") << QStringList{"1 comment-entry # note"};
    QTest::newRow("trailing comment") << QByteArray("rate: 1   # default 1\nx: #\n")
                                      << QStringList{"1 trailing-comment rate", "2 trailing-comment x"};
    QTest::newRow("hash as text") << QByteArray("color: \"#ff0000\"\nt: \"a # b\"\nu: 'a # b'\nv: a#b\n")
                                  << QStringList{};
    QTest::newRow("colon in a trailing comment") << QByteArray("savePCD: false   # see https://x\n")
                                                 << QStringList{"1 skipped savePCD: false   # see https://x"};
    QTest::newRow("NUL") << QByteArray("k: v\0rest\n\0\n", 12) << QStringList{"1 nul k: v", "2 nul "};
    QTest::newRow("overridden") << QByteArray("k: 1\nother: 2\nk: 3\nk: 4\n")
                                << QStringList{"1 overridden k 4", "3 overridden k 4"};
    QTest::newRow("NUL and overridden on one line")
            << QByteArray("k: 1\0x\nk: 2\n", 12) << QStringList{"1 nul k: 1", "1 overridden k 2"};
    QTest::newRow("long text cut") << QByteArray(70, 'x') + "\n"
                                   << QStringList{"1 skipped " + QString(60, QLatin1Char('x')) + "..."};
    QTest::newRow("text of 60 shown whole") << QByteArray(60, 'x') + "\n"
                                            << QStringList{"1 skipped " + QString(60, QLatin1Char('x'))};
    QTest::newRow("quoted item after a comma") << QByteArray("gains: [1, \"2 # x\"]\n") << QStringList{};
    QTest::newRow("byte-order mark alone") << QByteArray("\xEF\xBB\xBF") << QStringList{};
    QTest::newRow("blank lines") << QByteArray("\n   \n\t\r\n") << QStringList{};
}

void tst_Reader::findings()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    Reader reader;
    QList<Finding> findings;
    QVERIFY(reader.parse(write(content), findings));
    QStringList got;
    const char *kinds[] = {"skipped", "overridden", "nul", "comment-entry", "trailing-comment"};
    for (const Finding &finding : findings) {
        got << QString::number(finding.line) + QLatin1Char(' ') + QLatin1String(kinds[finding.kind]) + QLatin1Char(' ')
                        + finding.text
                        + (finding.winningLine ? QLatin1Char(' ') + QString::number(finding.winningLine) : QString());
        QVERIFY(!finding.message.isEmpty());
    }
    QCOMPARE(got, expected);
}

void tst_Reader::storedTextsAreValues_data()
{
    QTest::addColumn<QString>("change");
    for (const char *change :
         {"append", "append long", "prepend", "insert", "write", "grow", "chop", "squeeze", "clear and append"})
        QTest::newRow(change) << QString::fromLatin1(change);
}

static QString changed(QString text, const QString &change)
{
    if (change == QLatin1String("append"))
        text.append(QLatin1Char('!'));
    else if (change == QLatin1String("append long"))
        text.append(QString(70000, QLatin1Char('x')));
    else if (change == QLatin1String("prepend"))
        text.prepend(QLatin1String("<<"));
    else if (change == QLatin1String("insert"))
        text.insert(2, QLatin1String("--"));
    else if (change == QLatin1String("write"))
        text.data()[0] = QLatin1Char('W');
    else if (change == QLatin1String("grow"))
        text.resize(text.size() + 3, QLatin1Char('+'));
    else if (change == QLatin1String("chop"))
        text.chop(2);
    else if (change == QLatin1String("squeeze"))
        text.squeeze();
    else
        text = (text.clear(), text + QLatin1String("new"));
    return text;
}

// Keys and items share their memory with other stored texts: changing one
// that was taken from the store, while the store lives or after it is gone,
// changes it alone.
void tst_Reader::storedTextsAreValues()
{
    QFETCH(QString, change);
    const QByteArray content = "alpha: first\nbeta: [second, third]\ngamma: fourth\n";
    const Entries expected{{"alpha", {"first"}}, {"beta", {"second", "third"}}, {"gamma", {"fourth"}}};
    Reader reader;
    QVERIFY(reader.parse(write(content)));
    QString key = reader.keys().at(1);
    QString item = reader.listEntryForKey(QStringLiteral("beta")).at(0);
    QCOMPARE(changed(key, change), changed(QStringLiteral("beta"), change));
    QCOMPARE(changed(item, change), changed(QStringLiteral("second"), change));
    QCOMPARE(reader.entries, expected);
    QCOMPARE(item.constData()[item.size()], QChar(u'\0')); // ends where it should

    {
        Reader gone;
        QVERIFY(gone.parse(write(content)));
        item = gone.listEntryForKey(QStringLiteral("beta")).at(0);
        key = gone.keys().at(1);
    }
    // Each is now the one text left of its block.
    QCOMPARE(changed(std::move(item), change), changed(QStringLiteral("second"), change));
    QCOMPARE(changed(std::move(key), change), changed(QStringLiteral("beta"), change));
}

QTEST_APPLESS_MAIN(tst_Reader)
#include "tst_reader.moc"
