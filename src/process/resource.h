#pragma once
// Named locks between the node's threads. Each owner keeps the handle of its
// lock; the operations add the diagnostics (the lock's name when it is
// registered, the caller's name when a wait runs out or a release fails).

class TimedLock;
using ResourceHandle = TimedLock*;  // nullptr: no lock

// Creates a lock and logs its name; ends the process (ExitCode::LockNotCreated) when it cannot.
ResourceHandle RegisterResource(const char* name);
// How long a caller waits for a named lock.
inline constexpr unsigned RESOURCE_WAIT_MS = 2500;

// Waits at most 2500 ms. False when the wait ran out; the caller then does
// not hold the lock and must not release it. A null handle ends the process
// with ExitCode::LockNeverCreated.
bool GetResource(ResourceHandle handle, const char* caller);
void ReleaseResource(ResourceHandle handle, const char* caller);
// What a wait that ran out reports, for a wait on a lock's behalf that is
// not GetResource's own.
void ReportWaitTimedOut(const char* caller);

// The name of a named lock that some thread holds at this moment, or
// nullptr when every one is free (the log's lock among them). A lock still
// held once its holder's work is done is a lock that was never released.
const char* HeldResourceName();

// Tests only: a function run on the releasing thread right after every
// successful release, given the caller's name, so that a test can put
// another step at exactly that point of an interleaving. nullptr: none.
using ReleaseHook = void (*)(const char* caller);
void SetReleaseHook(ReleaseHook hook);
