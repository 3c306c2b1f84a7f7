#include "process/report_limit.h"

#include <chrono>
#include <string>
#include <vector>

#include "process/log.h"
#include "process/print.h"
#include "process/text.h"

namespace {

std::atomic<int64_t (*)()> reportClock{nullptr};

int64_t Now() {
  if (int64_t (*clock)() = reportClock.load()) return clock();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Every kind that has had a report, for the summaries.
std::mutex listGuard;
std::vector<ReportLimit*> listed;

void List(ReportLimit& limit) {
  if (limit.listed.exchange(true)) return;
  std::lock_guard<std::mutex> guard(listGuard);
  listed.push_back(&limit);
}

// Starts a new period when this one is over; the summary of the one that
// ended, or an empty text when nothing was only counted. Under the guard.
std::string EndPeriodIfOver(ReportLimit& limit, int64_t now) {
  if (now - limit.periodStart < REPORT_PERIOD_MS) return {};
  std::string summary;
  if (limit.counted != 0) {
    char line[300];
    FormatText(line, sizeof line, "%s ... and %u more like it in the last %d s\n", limit.kind, limit.counted,
               static_cast<int>(REPORT_PERIOD_MS / 1000));
    summary = line;
  }
  limit.periodStart = now;
  limit.written = 0;
  limit.counted = 0;
  return summary;
}

void Write(const ReportLimit& limit, const std::string& summary) {
  if (summary.empty()) return;
  if (limit.console) Print(summary.c_str());
  Log(summary.c_str());
}

}  // namespace

bool AdmitReport(ReportLimit& limit) {
  List(limit);
  std::string summary;
  bool full = false;
  {
    std::lock_guard<std::mutex> guard(limit.guard);
    summary = EndPeriodIfOver(limit, Now());
    full = limit.written < REPORTS_IN_FULL;
    ++(full ? limit.written : limit.counted);
  }
  Write(limit, summary);
  return full;
}

void SumUpReports() {
  std::vector<ReportLimit*> kinds;
  {
    std::lock_guard<std::mutex> guard(listGuard);
    kinds = listed;
  }
  for (ReportLimit* limit : kinds) {
    std::string summary;
    {
      std::lock_guard<std::mutex> guard(limit->guard);
      summary = EndPeriodIfOver(*limit, Now());
    }
    Write(*limit, summary);
  }
}

void SetReportClock(int64_t (*clock)()) { reportClock = clock; }
