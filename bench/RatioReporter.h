// A console reporter that also prints, after the run, each benchmark's time against the
// reference benchmark it names, so every hot path is reported as a ratio to FFTW.
#pragma once

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace orvex::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    /// pairs: (benchmark name, reference benchmark name).
    explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs)
        : m_pairs(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                m_times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-44s %12s %12s %8s\n", "benchmark", "time", "reference", "ratio");
        for (const auto& [name, ref] : m_pairs) {
            const auto a = m_times.find(name);
            const auto b = m_times.find(ref);
            if (a == m_times.end() || b == m_times.end()) continue;
            std::printf("%-44s %12.2f %12.2f %8.2f\n", name.c_str(), a->second, b->second,
                        a->second / b->second);
        }
        std::printf("(times in the benchmarks' own unit; ratio = ours / reference)\n");
    }

private:
    std::vector<std::pair<std::string, std::string>> m_pairs;
    std::map<std::string, double> m_times;
};

} // namespace orvex::bench
