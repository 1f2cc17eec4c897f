// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// Micro-benchmarks of Reader: parse throughput and lookups per second.
// The entry files come from generate.py, in the folder named by
// TARNWICK_BENCH_DATA (run.sh makes them): entries-<lines>.yaml.
#include <plinto/yaml.h>

#include <benchmark/benchmark.h>

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
