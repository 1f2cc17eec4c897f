// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The dump's pieces: numbers must read as QString::toDouble reads them, bit
// for bit, and print as a standard stream prints them; text must come out as
// its Latin-1 bytes.
#include "dump.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

using plinto::yaml::Reader;

namespace {

QByteArray bits(double value)
{
    return QByteArray(reinterpret_cast<const char *>(&value), sizeof value).toHex();
}

double qtReading(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : 0.0;
}

double readerReading(const QString &text)
{
    Reader reader;
    reader.entries.insert(QStringLiteral("k"), {text});
    return reader.realEntryForKey(QStringLiteral("k"));
}

std::string streamed(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

std::string appended(double value)
{
    std::string out;
    tarnwick::appendReal(out, value);
    return out;
}

// Texts that stress both readers: plain decimals of every shape, and what
// only QString::toDouble handles.
QStringList sampleTexts()
{
    // clang-format off
    QStringList texts{"0", "-0", "1e-5", "1e6", "123456.5", "1e300", "1e-320", "1e999", "1e-999",
                      "inf", "-inf", "nan", ".5", "5.", "+.5", "007", "0x10", "1e", "1,5", "1.5",
                      "-3e-2", "42", "2.2250738585072014e-308", "2.2250738585072011e-308",
                      "4.9e-324", "2e-324", "1.7976931348623157e308", "1.7976931348623159e308",
                      "9007199254740993", "0.1", "1E+5", "1e+", "--1", "1.5.2", " 1", "1 ",
                      "12abc", "", "-", "e5", "00000000000000000000000000000000000000000000000000001.5",
                      "0.30000000000000000000000000000000000000000000000000000000000000000001"};
    // clang-format on
    // Every text of one or two printable ASCII characters or white space.
    QString ascii;
    for (char16_t c = 0x20; c < 0x7f; ++c)
        ascii += QChar(c);
    ascii += QStringLiteral("\t\n\v\f\r");
    for (const QChar a : ascii) {
        texts << QString(a);
        for (const QChar b : ascii)
            texts << QString(a) + b;
    }
    const QString numberish = QStringLiteral("+-.05eEinfaNI ");
    for (const QChar a : numberish) {
        for (const QChar b : numberish) {
            for (const QChar c : numberish)
                texts << QString(a) + b + c;
        }
    }
    texts << QStringLiteral("INF") << QStringLiteral("+inf") << QStringLiteral("-nan") << QStringLiteral("infinity")
          << QStringLiteral("1.5f") << QString::fromUtf8("\u0661") << QString::fromUtf8("\u00a01.5\u00a0")
          << QString::fromUtf8("\u20021\u2003");
    QRandomGenerator random(20161201);
    for (int i = 0; i < 20000; ++i) {
        const double value = std::ldexp(random.generateDouble() - 0.5, int(random.bounded(-1100, 1100)));
        const char *formats[] = {"%.17g", "%g", "%.3e", "%.10f", "%.0f"};
        texts << QString::asprintf(formats[i % 5], value);
        texts << QString::number(random.bounded(1000000)) + QLatin1Char('.') + QString::number(random.bounded(1000000));
    }
    return texts;
}

} // namespace

class tst_Dump : public QObject
{
    Q_OBJECT

private slots:
    void readingMatchesQt();
    void printingMatchesStream();
    void textAsLatin1_data();
    void textAsLatin1();
};

void tst_Dump::readingMatchesQt()
{
    for (const QString &text : sampleTexts()) {
        if (bits(readerReading(text)) != bits(qtReading(text)))
            QFAIL(qPrintable(QStringLiteral("reading \"%1\": %2, QString::toDouble: %3")
                                     .arg(text)
                                     .arg(readerReading(text))
                                     .arg(qtReading(text))));
    }
}

void tst_Dump::printingMatchesStream()
{
    // clang-format off
    QList<double> values{0.0, -0.0, 1e-5, 1e6, 123456.5, 1234565, 999999.5, 9999995, 999999.7, -9999996, 1e300, 1e-320,
                         0.0001, 0.00012345678, 9.99999e-5, 9.999995e-5, 999999.0, 999999.4,
                         100000.0, 123456.0, 1234567.0, 0.000123456, 0.1 + 0.2, 3.14159265, 2.5, -3e-2, 1e16, 5e-324,
                         std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN()};
    // clang-format on
    QRandomGenerator random(7);
    for (int i = 0; i < 20000; ++i) {
        values << std::ldexp(random.generateDouble() - 0.5, int(random.bounded(-1080, 1030)));
        values << double(random.bounded(2000000)) / 2; // halves: rounding ties
        // Short decimals, as entry files hold them, around every layout switch.
        values << double(random.bounded(100000000)) / std::pow(10.0, double(random.bounded(-8, 14)));
        // Seven digits ending in 5: rounding ties in decimal, decided by the binary value.
        values << double(random.bounded(100000, 1000000) * 10 + 5) / std::pow(10.0, double(random.bounded(-8, 14)));
    }
    for (const double value : values)
        QCOMPARE(QByteArray::fromStdString(appended(value)), QByteArray::fromStdString(streamed(value)));
}

void tst_Dump::textAsLatin1_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QString everyByte;
    QByteArray everyByteLatin1;
    for (int c = 1; c < 256; ++c) {
        everyByte += QChar(c);
        everyByteLatin1 += char(c);
    }
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("every byte value") << everyByte << everyByteLatin1;
    QTest::newRow("outside Latin-1, short") << QString::fromUtf8("a\u20acb") << QByteArray("a?b");
    QTest::newRow("outside Latin-1 in a long run") << QString::fromUtf8("abcdefghijklmnop\u0416qrstuvwxyz0123456789")
                                                   << QByteArray("abcdefghijklmnop?qrstuvwxyz0123456789");
}

void tst_Dump::textAsLatin1()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    std::string out = "x";
    tarnwick::appendLatin1(out, text);
    QCOMPARE(QByteArray::fromStdString(out), "x" + bytes);
}

QTEST_APPLESS_MAIN(tst_Dump)
#include "tst_dump.moc"
