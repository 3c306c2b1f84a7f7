#include "node/node_recording.h"

#include <string>

#include "process/log.h"
#include "process/print.h"
#include "process/process_state.h"
#include "process/settings.h"
#include "record/recorder.h"

void StartRunRecording() {
  if (Settings.record[0] == '\0') return;
  RecordingHeader header;
  header.restartCount = ProcessState.restartCount;
  header.udpinterval = Settings.udpinterval;
  header.udpwait = Settings.udpwait;
  header.remote = Settings.remote;
  header.nodeVersion = ZEMSIM_VERSION;
  std::string path, error;
  if (!StartRecording(Settings.record, header, path, error)) {
    const std::string line = "ReadConfig() - record " + std::string(Settings.record) + ": " + error +
                             "; the node runs without recording\n";
    Log(line.c_str());
    Print(line.c_str());
    return;
  }
  LogFormat("StartUp() - Recording to %s\n", path.c_str());
  PrintFormat("Recording to %s\n", path.c_str());
}
