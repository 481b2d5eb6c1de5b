// What following the user's language adds to a start: choosing the language and
// loading the built-in translation (and Qt's, where the system has it), against a
// start in English, which loads nothing.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QLocale>

#include "app/AppTranslations.h"
#include "BenchmarkRunner.h"

namespace {

void BM_InstallTranslations(benchmark::State& state, const char* language)
{
    const QLocale locale{QString::fromLatin1(language)};
    for (auto _ : state) {
        const AppTranslations translations(locale);
        benchmark::DoNotOptimize(translations.language());
    }
}

}  // namespace

BENCHMARK_CAPTURE(BM_InstallTranslations, english, "en_US")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_InstallTranslations, german, "de_DE")->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
