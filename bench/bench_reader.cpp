// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Micro-benchmarks of Reader and Editor: parse throughput, lookups per
// second, and an edit saved. The entry files come from generate.py, in the
// folder named by TARNWICK_BENCH_DATA (run.sh makes them): entries-<lines>.yaml.
#include <plinto/yaml.h>

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <memory>

namespace {

QString dataFile(long lines)
{
    const char *folder = std::getenv("TARNWICK_BENCH_DATA");
    return QString::fromLocal8Bit(folder ? folder : ".") + QStringLiteral("/entries-%1.yaml").arg(lines);
}

// Parses the file of state.range(0) lines into a new Reader per iteration;
// with findings, as tarnwick-check does, or without.
template <bool withFindings>
void parseFile(benchmark::State &state)
{
    const QString file = dataFile(state.range(0));
    if (!QFileInfo::exists(file)) {
        state.SkipWithError("entry file missing: run bench/run.sh");
        return;
    }
    for (auto _ : state) {
        auto reader = std::make_unique<plinto::yaml::Reader>();
        QList<plinto::yaml::Finding> findings;
        benchmark::DoNotOptimize(withFindings ? reader->parse(file, findings) : reader->parse(file));
        state.PauseTiming(); // freeing the store and the findings is not parsing
        reader.reset();
        findings = {};
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(file).size());
}

void parse(benchmark::State &state)
{
    parseFile<false>(state);
}
BENCHMARK(parse)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void parseWithFindings(benchmark::State &state)
{
    parseFile<true>(state);
}
BENCHMARK(parseWithFindings)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Per iteration: load a copy of the file of state.range(0) lines, set one key
// in the middle of it, save. Each save writes the number the last one did
// not, so that every save writes. With changedMeanwhile, another program
// appends a line between load and save (untimed), which the save merges
// with. The syncs are real: run under eatmydata to time the rest alone.
template <bool changedMeanwhile>
void editFile(benchmark::State &state)
{
    const QString source = dataFile(state.range(0));
    const QString file = source + QStringLiteral(".edited");
    plinto::yaml::Reader reader;
    if (!reader.parse(source)) {
        state.SkipWithError("entry file missing: run bench/run.sh");
        return;
    }
    const QString key = reader.keys().at(reader.keys().size() / 2);
    QFile::remove(file);
    QFile::copy(source, file);
    int saves = 0;
    for (auto _ : state) {
        plinto::yaml::Editor editor;
        editor.load(file);
        if (changedMeanwhile) {
            state.PauseTiming();
            QFile other(file);
            other.open(QIODevice::Append);
            other.write("changed_meanwhile_" + QByteArray::number(saves) + ": 1\n");
            other.close();
            state.ResumeTiming();
        }
        editor.setRealEntryForKey(key, ++saves % 2 ? 1.5 : 2.5);
        if (!editor.save()) {
            state.SkipWithError(qPrintable(editor.errorString()));
            break;
        }
    }
    QFile::remove(file);
    state.SetBytesProcessed(state.iterations() * QFileInfo(source).size());
}

void editAndSave(benchmark::State &state)
{
    editFile<false>(state);
}
BENCHMARK(editAndSave)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void editAndSaveMerged(benchmark::State &state)
{
    editFile<true>(state);
}
BENCHMARK(editAndSaveMerged)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Runs one lookup over every key of the 1e5-line file per iteration.
template <typename Lookup>
void lookups(benchmark::State &state, Lookup lookup)
{
    plinto::yaml::Reader reader;
    if (!reader.parse(dataFile(100000))) {
        state.SkipWithError("entry file missing: run bench/run.sh");
        return;
    }
    const QStringList keys = reader.keys();
    for (auto _ : state) {
        for (const QString &key : keys)
            benchmark::DoNotOptimize(lookup(reader, key));
    }
    state.SetItemsProcessed(state.iterations() * keys.size());
}

void keys(benchmark::State &state)
{
    plinto::yaml::Reader reader;
    if (!reader.parse(dataFile(100000))) {
        state.SkipWithError("entry file missing: run bench/run.sh");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.keys());
    state.SetItemsProcessed(state.iterations() * reader.entries.size());
}
BENCHMARK(keys)->Unit(benchmark::kMillisecond);

void entryTypeForKey(benchmark::State &state)
{
    lookups(state, [](const plinto::yaml::Reader &r, const QString &k) { return r.entryTypeForKey(k); });
}
BENCHMARK(entryTypeForKey)->Unit(benchmark::kMillisecond);

void realVectorEntryForKey(benchmark::State &state)
{
    lookups(state, [](const plinto::yaml::Reader &r, const QString &k) { return r.realVectorEntryForKey(k); });
}
BENCHMARK(realVectorEntryForKey)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
