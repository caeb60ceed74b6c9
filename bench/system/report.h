// The system benchmark's results: a table on stdout, a JSON file, and a
// chart of the latency distributions drawn by gnuplot.
#pragma once
#include <string>
#include <vector>

#include "bench/system/fanout_figure.h"
#include "bench/system/run_record.h"

struct ReportSetup {
  bool quick = false;
  Window window;
  std::string jsonPath;   // system_bench.json
  std::string chartPath;  // system_bench_latency.png
};

void printTable(const std::vector<RunRecord>& runs, const ReportSetup& setup);
// False when the file could not be written.
bool writeJson(const std::vector<RunRecord>& runs, const ReportSetup& setup);
// Draws the latency distribution (share of frames within each latency) of
// every latency-phase run, one panel per picture size. Returns why it could
// not, or "" when the chart was drawn.
std::string drawChart(const std::vector<RunRecord>& runs, const ReportSetup& setup);
