// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Const lookups on one Reader from many threads at once give what they give
// on one thread; editors on several threads that save one file at once keep
// every change. Run under ThreadSanitizer in CI (TARNWICK_SANITIZE=thread);
// a plain program, since Qt Test's watchdog thread, synchronised inside Qt
// where the sanitizer cannot see, would be reported as racing.
#include <plinto/yaml.h>

#include <QTemporaryFile>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

using plinto::yaml::Reader;

namespace {

// Every lookup of one key, as one comparable value.
struct Answers
{
    QStringList items;
    QString entry;
    plinto::yaml::EntryType type;
    double real;
    QVector<double> reals;

    bool operator==(const Answers &o) const
    {
        return items == o.items && entry == o.entry && entry.isNull() == o.entry.isNull() && type == o.type
                && (real == o.real || (real != real && o.real != o.real)) && reals.size() == o.reals.size()
                && std::equal(reals.begin(), reals.end(), o.reals.begin(),
                              [](double a, double b) { return a == b || (a != a && b != b); });
    }
};

Answers answers(const Reader &reader, const QString &key)
{
    return {reader.listEntryForKey(key), reader.entryForKey(key), reader.entryTypeForKey(key),
            reader.realEntryForKey(key), reader.realVectorEntryForKey(key)};
}

} // namespace

int main()
{
    // Many keys whose items repeat; the texts of a file share blocks of memory.
    QTemporaryFile file;
    if (!file.open())
        return 2;
    const char *values[] = {"1.5", "on", "0", "-3e-2", "nan", "x", "", "\"q\""};
    for (int n = 0; n < 20000; ++n) {
        QByteArray line = "section_" + QByteArray::number(n % 97) + ".key_" + QByteArray::number(n) + ": ";
        if (n % 3 == 0)
            line += QByteArray("[") + values[n % 8] + ", " + values[(n / 8) % 8] + ", 2]";
        else
            line += values[n % 8];
        file.write(line + '\n');
    }
    file.flush();
    Reader reader;
    if (!reader.parse(file.fileName()))
        return 2;

    const QStringList keys = reader.keys() << QStringLiteral("absent");
    std::vector<Answers> expected;
    for (const QString &key : keys)
        expected.push_back(answers(reader, key));

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                if (reader.keys() + QStringList{QStringLiteral("absent")} != keys)
                    ++mismatches;
                for (int i = 0; i < keys.size(); ++i) {
                    const int k = (i * 7 + t * 1009) % int(keys.size()); // each thread its own order
                    if (!(answers(reader, keys.at(k)) == expected[size_t(k)]))
                        ++mismatches;
                }
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    std::printf("%d lookups of %d keys on 8 threads, %d differ from one thread's\n", 8 * 3 * 5 * int(keys.size()),
                int(keys.size()), mismatches.load());

    // Four editors, each on its own thread and key, ten saves each.
    std::atomic<int> failedSaves{0};
    threads.clear();
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 1; n <= 10; ++n) {
                plinto::yaml::Editor editor;
                if (!editor.load(file.fileName())
                    || !editor.setIntegerEntryForKey(QStringLiteral("thread_%1").arg(t), n) || !editor.save())
                    ++failedSaves;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    Reader saved;
    int lost = saved.parse(file.fileName()) ? 0 : 4;
    for (int t = 0; t < 4; ++t)
        lost += saved.integerEntryForKey(QStringLiteral("thread_%1").arg(t)) == 10 ? 0 : 1;
    std::printf("40 saves on 4 threads: %d failed, %d changes lost\n", failedSaves.load(), lost);
    return mismatches.load() == 0 && failedSaves.load() == 0 && lost == 0 ? 0 : 1;
}
