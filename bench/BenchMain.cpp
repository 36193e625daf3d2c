#include "BenchMain.h"

#include <cstdio>
#include <map>

std::vector<std::pair<std::string, std::string>>& RatioPairs()
{
    static std::vector<std::pair<std::string, std::string>> pairs;
    return pairs;
}

namespace {

// Prints as usual and keeps each benchmark's time per iteration for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: the output often goes to a log file.
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // With repetitions the median stands for the benchmark; otherwise its one run does.
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                times[run.run_name.str()] = run.GetAdjustedRealTime();
            else if (run.run_type == Run::RT_Iteration && !times.count(run.run_name.str()))
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    printf("\n%-48s %-40s %s\n", "measured", "reference", "ratio");
    for (const auto& [measured, reference] : RatioPairs()) {
        const auto m = reporter.times.find(measured), r = reporter.times.find(reference);
        if (m == reporter.times.end() || r == reporter.times.end() || r->second <= 0) continue;
        printf("%-48s %-40s %.2fx\n", measured.c_str(), reference.c_str(), m->second / r->second);
    }
    benchmark::Shutdown();
    return 0;
}
