#include "bench_table.h"

#include <algorithm>
#include <cstdio>

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

void BenchTable::AddBounded(const std::string& measurement, double value, const char* unit, double bound,
                            int decimals) {
  Add({measurement, Fixed(value, decimals) + " " + unit, "<= " + Fixed(bound, decimals) + " " + unit,
       value <= bound ? "met" : "MISSED"});
}

void BenchTable::AddInfo(const std::string& measurement, const std::string& result) {
  Add({measurement, result, "", ""});
}

void BenchTable::Print() const {
  size_t widths[4] = {11, 6, 4, 7};
  for (const BenchRow& row : rows_) {
    widths[0] = std::max(widths[0], row.measurement.size());
    widths[1] = std::max(widths[1], row.result.size());
    widths[2] = std::max(widths[2], row.goal.size());
  }
  const auto line = [&](const std::string& a, const std::string& b, const std::string& c, const std::string& d) {
    std::printf("| %-*s | %-*s | %-*s | %-*s |\n", static_cast<int>(widths[0]), a.c_str(), static_cast<int>(widths[1]),
                b.c_str(), static_cast<int>(widths[2]), c.c_str(), static_cast<int>(widths[3]), d.c_str());
  };
  line("Measurement", "Result", "Goal", "Verdict");
  std::printf("|%s|%s|%s|%s|\n", std::string(widths[0] + 2, '-').c_str(), std::string(widths[1] + 2, '-').c_str(),
              std::string(widths[2] + 2, '-').c_str(), std::string(widths[3] + 2, '-').c_str());
  for (const BenchRow& row : rows_) line(row.measurement, row.result, row.goal, row.verdict);
  std::fflush(stdout);
}
