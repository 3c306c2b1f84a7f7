#pragma once
// Reports about input that anybody may send (a refused datagram): each kind
// is written in full the first few times in a period, then only counted,
// and the count is summed up in one line once the period is over. A flood
// of such input costs the log and the console a few lines a period, not
// the disk.

#include <atomic>
#include <cstdint>
#include <mutex>

inline constexpr uint32_t REPORTS_IN_FULL = 3;  // of each kind in a period
inline constexpr int64_t REPORT_PERIOD_MS = 10000;

// One kind of report, a process-wide record of its own.
struct ReportLimit {
  // kind names the kind in the summary, as its lines begin; console: the
  // reports show on the console, so the summary does too.
  ReportLimit(const char* kindText, bool onConsole) : kind(kindText), console(onConsole) {}
  const char* const kind;
  const bool console;
  std::mutex guard;  // the counts below
  std::atomic<bool> listed{false};
  int64_t periodStart = 0;
  uint32_t written = 0;  // in full, this period
  uint32_t counted = 0;  // only counted, this period
};

// True when this report is to be written in full; otherwise it is counted.
bool AdmitReport(ReportLimit& limit);

// Writes "KIND ... and N more like it in the last 10 s" for every kind whose
// period is over with reports counted in it. The monitor calls it each second.
void SumUpReports();

// The clock of the periods, in milliseconds; tests put their own in its
// place (nullptr: the steady clock again).
void SetReportClock(int64_t (*clock)());
