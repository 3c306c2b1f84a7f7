#pragma once
// With the setting remote: the aircraft's position and attitude broadcast
// to the subnet about five times a second.

inline constexpr unsigned REMOTE_DATA_MESSAGE_SIZE = 72;

// The thread body; never returns.
[[noreturn]] void RemoteBroadcast();
// The broadcast address for port 9102 and a socket of its own; ends the
// process (ExitCode::RemoteSocketFailed) when the socket cannot be opened.
void PhoneHome();
// One pass: read the record and broadcast it.
void RemoteBroadcastPass();
