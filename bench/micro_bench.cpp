// Micro-benchmarks of the pieces a lookup spends its time in: cutting the
// data file into pieces of 254, the byte filter that finds where the asset
// may begin, the whole search of a cached file, the first-token check that
// turns away other assets, reading a number token and writing a register.
//
//     tallix_micro_bench [--benchmark_min_time=0.01]
#include "exchange/exchange.h"
#include "lookup/search.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// About 1 MB of data-file lines as a lab writes them, a few of them long.
std::string data_lines() {
    std::mt19937 rng(7);
    const char* const seps[] = {" ", ", ", "\t"};
    const char* const ends[] = {"\n", "\r\n"};
    std::string s;
    while (s.size() < (1u << 20)) {
        s += "A" + std::to_string(1000 + rng() % 9000) + seps[rng() % 3] + "10" + seps[rng() % 3];
        s += "10.000" + std::to_string(rng() % 100) + ends[rng() % 2];
        if (rng() % 500 == 0) s += std::string(300 + rng() % 200, 'x') + "\n";
    }
    return s;
}

std::FILE* file_of(const std::string& content) {
    std::FILE* f = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), f);
    return f;
}

void BM_PiecesInPlace(benchmark::State& state) {
    const std::string content = data_lines();
    std::FILE* f = file_of(content);
    auto r = std::make_unique<text_reader>();
    std::size_t pieces = 0;
    for (auto _ : state) {
        std::rewind(f);
        text_reader_start(*r, f);
        const char* data;
        std::size_t length;
        bool had_end;
        while (data_read_piece(*r, data, length, had_end) == TEXT_LINE) {
            benchmark::DoNotOptimize(data);
            ++pieces;
        }
    }
    std::fclose(f);
    state.SetBytesProcessed(std::int64_t(state.iterations() * content.size()));
    state.counters["pieces"] = benchmark::Counter(double(pieces), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PiecesInPlace);

// The byte filter over the same lines, for an asset on none of them: what
// the search spends on each byte of a large file.
void BM_AssetFilter(benchmark::State& state) {
    const std::string content = data_lines();
    asset_filter f;
    make_asset_filter("q9999", 5, f);
    for (auto _ : state) {
        const char* p = content.data();
        const char* const end = p + content.size();
        while ((p = next_asset_candidate(f, p, end))) ++p;
        benchmark::DoNotOptimize(p);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * content.size()));
}
BENCHMARK(BM_AssetFilter);

// The whole search of those lines for an asset on none of them, from a
// file the system has cached.
int no_box_report(void*, const std::string&, int, const char*, register_set&) { return OUTCOME_GIVE_UP; }

// The search with lines not counted and no box, as a lookup of Q9999 at 10.
search_request request_in(std::FILE* f) {
    search_request q;
    q.data_path = "refs";
    q.file = f;
    q.asset = "Q9999";
    q.nominal = 10;
    q.report = no_box_report;
    q.count_lines = 0;
    return q;
}

void BM_SearchNoMatch(benchmark::State& state) {
    const std::string content = data_lines();
    std::FILE* f = file_of(content);
    register_set rs;
    search_stop stop;
    for (auto _ : state) {
        std::rewind(f);
        benchmark::DoNotOptimize(
            search_data_file(request_in(f), rs, stop));
    }
    std::fclose(f);
    state.SetBytesProcessed(std::int64_t(state.iterations() * content.size()));
}
BENCHMARK(BM_SearchNoMatch);

std::vector<std::string> first_tokens() {
    std::vector<std::string> lines;
    for (int i = 0; i < 1024; ++i) lines.push_back("A" + std::to_string(1000 + i * 7) + ", 10, 10.0001");
    return lines;
}

void BM_FirstTokenCheck(benchmark::State& state) {
    const std::vector<std::string> lines = first_tokens();
    const std::string asset = "a1234";
    for (auto _ : state)
        for (const std::string& l : lines)
            benchmark::DoNotOptimize(may_be_asset(l.data(), l.data() + l.size(), asset));
    state.SetItemsProcessed(std::int64_t(state.iterations() * lines.size()));
}
BENCHMARK(BM_FirstTokenCheck);

// Cutting the whole first token and comparing it, for comparison.
void BM_FirstTokenCutAndCompare(benchmark::State& state) {
    const std::vector<std::string> lines = first_tokens();
    for (auto _ : state)
        for (const std::string& l : lines) {
            const char* p = l.data();
            std::size_t n = 0;
            const char* t = next_data_token(p, l.data() + l.size(), n);
            benchmark::DoNotOptimize(t && same_asset(t, n, "A1234"));
        }
    state.SetItemsProcessed(std::int64_t(state.iterations() * lines.size()));
}
BENCHMARK(BM_FirstTokenCutAndCompare);

void BM_NumberRead(benchmark::State& state) {
    const std::string tokens[] = {"10", "10.00013", "-2.5E-3", "1.0D3", "0.000999923",
                                  "123456.789012", "1e999", "10V"};
    for (auto _ : state)
        for (const std::string& t : tokens) {
            double v;
            benchmark::DoNotOptimize(nr3_value(t.data(), t.size(), v));
            benchmark::DoNotOptimize(v);
        }
    state.SetItemsProcessed(std::int64_t(state.iterations() * 8));
}
BENCHMARK(BM_NumberRead);

void BM_NumberWrite(benchmark::State& state) {
    const double values[] = {10.00013, 1, -1, 0.1, 1e20, 2.0 / 3, -0.00001, 123456.789012345};
    std::string out;
    for (auto _ : state)
        for (double v : values) {
            out.clear();
            append_number(out, v);
            benchmark::DoNotOptimize(out.data());
        }
    state.SetItemsProcessed(std::int64_t(state.iterations() * 8));
}
BENCHMARK(BM_NumberWrite);

}  // namespace

BENCHMARK_MAIN();
