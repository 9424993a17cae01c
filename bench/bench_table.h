// The benchmark's one result table: a row per measurement with its figure, its goal
// and whether the goal was met.
#pragma once

#include <string>
#include <vector>

struct BenchRow {
  std::string measurement;
  std::string result;       // the figure with its unit, or why there is none
  std::string goal;         // empty when the row only informs
  std::string verdict;      // "met", "MISSED", or empty
};

class BenchTable {
 public:
  void Add(BenchRow row) { rows_.push_back(std::move(row)); }
  // A row for a figure compared with an upper bound.
  void AddBounded(const std::string& measurement, double value, const char* unit, double bound, int decimals = 1);
  void AddInfo(const std::string& measurement, const std::string& result);
  // Prints the table to stdout in aligned columns.
  void Print() const;

 private:
  std::vector<BenchRow> rows_;
};

// A number as text with the given number of decimals.
std::string Fixed(double value, int decimals);
