#pragma once
// The node's log file: one stamped line per call, opened, appended to and
// closed each time under the log lock, so that lines from different threads
// never interleave and every line is on disk when the call returns.

#include <string>

// Writes the text after the time stamp; callers end their lines with "\n".
void Log(const char* text);
// Formats first (the text is cut at 1023 characters), then logs.
void LogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// As Log, without the log lock: for the paths where a lock has failed.
void LogUnlocked(const char* text);

// Creates or truncates the log file of that name, in the current directory
// or else in the "ZemSim" directory at the file-system root.
bool OpenLog(const char* name);

// "hh:mm:ss:mmm " of the current local time.
std::string TimeStamp();

void InitLogMutex();
// Whether some thread holds the log's lock now.
bool LogLockHeld();
bool SecureLogMutex();
void ReleaseLogMutex();

// The file the log writes to; empty once no log file could be created.
std::string LogFilePath();
