#include "core/home/AuthString.h"

#include <benchmark/benchmark.h>

using namespace corvane;

namespace {

// One signed string as a connect builds it: the MD5 over the signing text and the fields.
void BM_MakeAuthString(benchmark::State &state)
{
    AuthFields fields{QStringLiteral("202412060001234"),
                      QStringLiteral("a1b2c3d4e5f6a7b8c9d0"),
                      1765000000,
                      18,
                      1,
                      0,
                      123456789};
    for (auto _ : state) {
        ++fields.time;
        benchmark::DoNotOptimize(makeAuthString(fields));
    }
}
BENCHMARK(BM_MakeAuthString)->Unit(benchmark::kNanosecond);

} // namespace

BENCHMARK_MAIN();
