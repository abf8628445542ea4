#pragma once
// A console reporter that also keeps each benchmark's time (the median when repeated), so that a bench
// can put its figures against their floor in the rows of the `make bench` table.
#include <benchmark/benchmark.h>
#include <map>
#include <string>

namespace sbbench {

class TimesReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name;
            // Seconds per iteration: the median of the repetitions when there are several.
            const double seconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[name] = seconds;
            else if (run.run_type == Run::RT_Iteration)
                last[name] = seconds;
            if (run.run_type == Run::RT_Iteration)
                for (const auto& [key, counter] : run.counters)
                    counters[name + "." + key] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Seconds per iteration of `name`, or 0 when it did not run.
    double seconds(const std::string& name) const {
        if (const auto it = medians.find(name); it != medians.end())
            return it->second;
        const auto it = last.find(name);
        return it == last.end() ? 0 : it->second;
    }

    // A user counter of `name`'s last run ("BM_X", "ratio"), or 0.
    double counter(const std::string& name, const std::string& key) const {
        const auto it = counters.find(name + "." + key);
        return it == counters.end() ? 0 : it->second;
    }

private:
    std::map<std::string, double> counters;
    std::map<std::string, double> medians;
    std::map<std::string, double> last;
};

} // namespace sbbench
