#pragma once
// A recording played back into the stand-in simulator's offset space, at
// the recorded timing: what the simulator answered at t is served from t.
// Only the bytes the recording changes are stored, so a client's write
// holds until the recording next changes those bytes. The flight plans the
// node imported are written into a folder of simstub's own, and the path
// the simulator reported is served as that folder's file.

#include <functional>
#include <string>

#include "ipc/server.h"

struct ReplayOptions {
  std::string file;
  double speed = 1.0;
  double fromSeconds = 0.0;
  bool loop = false;
  std::string plans = "simstub-plans";  // the folder the recorded plans are served from
};

// Reads the recording and starts playing it into the space on a thread of
// its own; what it does is told through say, one line at a time. False,
// with the reason, when it cannot be played.
bool StartReplay(OffsetSpace& space, const ReplayOptions& options, const std::function<void(const std::string&)>& say,
                 std::string& error);

// The console's commands: stop the replay where it is, play on from there,
// and (paused) move on to the next recorded moment. False when there is no
// replay.
bool PauseReplay();
bool PlayReplay();
bool StepReplay();
