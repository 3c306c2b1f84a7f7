#pragma once
// The node's own recording: one file per run, a restarted run included, in
// the folder the configuration names.

// Starts this run's recording when the configuration asks for one. A
// folder it cannot write into is shown and logged as a configuration
// mistake; the node runs on without recording.
void StartRunRecording();
