#include "process/process_state.h"

#include "process/text.h"

ProcessStateRecord ProcessState;

void ParseCommandLine(const std::vector<std::string>& arguments) {
  if (!arguments.empty()) CopyText(ProcessState.programPath, arguments[0]);
  if (arguments.size() == 3) {
    char count[50];
    CopyText(count, arguments[2]);
    // A negative count would buy a line of instances more restarts than
    // the limit allows.
    int32_t value = LeadingDecimal(count);
    ProcessState.restartCount = value < 0 ? 0 : value;
    ProcessState.isRestart = true;
  }
}
