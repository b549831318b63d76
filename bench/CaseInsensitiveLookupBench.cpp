// Lookup by a name in another letter case in a folder of 100,000 entries, against the same
// lookup by the exact name (the baseline, measured in the same run). Once the folder's index
// is built, the ratio should stay small: the miss costs one index probe, not a folder scan.
//
// Run: bench/case-lookup.sh [--benchmark_filter=...]; after the case-insensitive run it prints the
// ratio of its time per lookup to the exact-name baseline's.
#include "OVFile32.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kEntries = 100000;

std::string g_strBase;
double g_exactMicroseconds = 0;

void SetUpFolder()
{
    if (!g_strBase.empty())
        return;
    char szTemplate[] = "/tmp/vantry-bench-XXXXXX";
    if (mkdtemp(szTemplate) == nullptr)
        std::abort();
    g_strBase = szTemplate;
    const std::string strFolder = g_strBase + "/Big Folder";
    std::filesystem::create_directories(strFolder);
    for (int i = 0; i < kEntries; ++i) {
        const std::string strPath = strFolder + "/Entry Number " + std::to_string(i) + ".dat";
        const int fd = open(strPath.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0)
            close(fd);
    }
    OVF_ClearDrives();
    if (OVF_SetDrive('C', g_strBase.c_str(), OVFDriveKind::fixed) != 0)
        std::abort();
    OVF_SetIndexLimit(64);
}

void RemoveFolder()
{
    if (!g_strBase.empty())
        std::filesystem::remove_all(g_strBase);
}

void Lookup(benchmark::State& state, bool bOtherCase)
{
    SetUpFolder();
    FileStatus32Record record{};
    // Build the folder's index outside the timed loop.
    GetStatus32("C:\\big folder\\ENTRY NUMBER 1.DAT", &record);
    int i = 0;
    for (auto _ : state) {
        const std::string strName = std::to_string(i++ * 7919 % kEntries);
        const std::string strPath = bOtherCase ? "C:\\BIG FOLDER\\ENTRY NUMBER " + strName + ".DAT"
                                               : "C:\\Big Folder\\Entry Number " + strName + ".dat";
        if (!GetStatus32(strPath.c_str(), &record))
            state.SkipWithError("lookup failed");
        benchmark::DoNotOptimize(record);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ExactNameLookup(benchmark::State& state)
{
    Lookup(state, false);
}

void BM_OtherCaseLookup(benchmark::State& state)
{
    Lookup(state, true);
}

// Runs the baseline and the measured case in one process and reports their ratio.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const double microseconds = run.GetAdjustedRealTime();   // in the benchmarks' unit
            if (run.benchmark_name().find("Exact") != std::string::npos)
                g_exactMicroseconds = microseconds;
            else if (g_exactMicroseconds > 0)
                std::printf("ratio other-case / exact-name lookup in %d entries: %.2f (%.1f us vs %.1f us)\n",
                            kEntries, microseconds / g_exactMicroseconds, microseconds, g_exactMicroseconds);
        }
        std::fflush(stdout);
    }
};

} // namespace

BENCHMARK(BM_ExactNameLookup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OtherCaseLookup)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    RemoveFolder();
    return 0;
}
