// What pipeline_demo prints: the pipeline it builds, a line per second
// while it runs, and the closing report with its verdict.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "tools/pipeline_demo/receiver_graph.h"
#include "tools/pipeline_demo/sender_graph.h"

// Everything one run measured.
struct DemoRun {
  int seconds = 0;
  std::string senderStation, receiverStation;
  SenderStats sender;
  ReceiverStats receiver;
  SavedPicture plain, focus;
};

// Whether pictures arrived end to end: decoded pictures whose frame numbers
// could be read, in order, rendered with and without the focus display,
// pointer records that arrived, and both pictures saved. Each unmet
// condition adds a sentence to reasons.
bool demoSucceeded(const DemoRun& run, std::vector<std::string>& reasons);

void printPipeline(const DemoRun& run, FILE* out);
void printProgress(int second, const SenderStats& s, const ReceiverStats& r, FILE* out);
// Prints the report and the verdict; returns demoSucceeded.
bool printReport(const DemoRun& run, FILE* out);
