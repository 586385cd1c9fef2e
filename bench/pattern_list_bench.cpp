// Parses pattern lists whose one recipe has 5,000, 20,000 and 40,000 steps, as the resolver does
// before any download starts, and reports the time per step: it stays flat when the parse is
// linear in the element's size.
#include <benchmark/benchmark.h>

#include <string>

#include "download/nd_downloader.h"

namespace {

std::string PatternList(int steps) {
    std::string text = "<ndpattern><id>site</id>";
    for (int n = 1; n <= steps; ++n) {
        const std::string k = std::to_string(n);
        text += "<pattern" + k + ">href=\"`0a\"</pattern" + k + "><tresult" + k + ">http://host/`a</tresult" + k +
                "><uresult" + k + ">http://mirror/`a</uresult" + k + "><referer" + k + ">http://host/</referer" + k +
                "><dataresult" + k + ">id=`a</dataresult" + k + ">";
    }
    return text + "</ndpattern>";
}

void BM_LoadPatterns(benchmark::State& state) {
    const int steps = static_cast<int>(state.range(0));
    const std::string text = PatternList(steps);
    for (auto _ : state) {
        download::CNDDownloader d;
        d.LoadPatterns(text);
        if (d.recipes().at(0).second.size() != static_cast<std::size_t>(steps)) state.SkipWithError("steps lost");
    }
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["us/step"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsIterationInvariantRate |
                                                                                  benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoadPatterns)->Arg(5000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
