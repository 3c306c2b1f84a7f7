#pragma once
// The node's only road to the operating system. Everything here has one
// POSIX and one Win32 implementation; no other file includes an OS header.
// What only the tools' servers need is in server.h, what only the tests and
// benchmarks that start processes need in child_process.h.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// ---- Console -------------------------------------------------------------

// Writes the text to standard output as it stands and flushes it.
void ConsoleWrite(const char* text);

// Waits for one key press and returns it, unechoed and without waiting for
// Enter where standard input is a terminal (raw mode, restored at exit).
// Returns -1 once the input has ended; it never returns a key after that.
int ReadConsoleKey();

// Switches off the console's QuickEdit mode (Windows), in which a click
// into the window stops every thread that prints until the selection ends.
// True when the console now runs without it (always where there is none).
bool DisableQuickEdit();

// The title of the console window (Windows), or of the terminal when
// standard output is one (POSIX); UTF-8. False when nothing shows it.
bool SetConsoleTitleText(const char* title);
// The console window's title as it shows now (Windows); empty where it
// cannot be read back (a POSIX terminal keeps its title to itself).
std::string ConsoleTitleText();

// Waits until a line (or the end) of standard input has been read.
void WaitForInputLine();

// A notice that blocks until the user dismisses it: a message box on
// Windows; on POSIX, and on Windows when the environment variable
// ZEMSIM_HEADLESS is set (unattended runs: tests, services), the caption and
// text on the console and a wait for Enter (the end of input counts as
// dismissal, so a node without a person in front of it never hangs here).
void ShowBlockingNotice(const char* text, const char* caption);

// ---- Time ------------------------------------------------------------------

struct LocalClock {
  int hour;
  int minute;
  int second;
  int millisecond;
};
LocalClock LocalTimeNow();

// Calendar time in whole seconds.
int64_t CalendarSeconds();

void SleepMs(uint32_t milliseconds);

// ---- Files -----------------------------------------------------------------

// The current directory, or an empty text when it cannot be had.
std::string CurrentDirectory();

// True when the path exists and is a directory.
bool DirectoryExists(const char* path);

// Separator between the parts of a path ('\\' on Windows, '/' elsewhere).
char PathSeparator();

// A directory or file of the given name at the root of the current drive
// ("\name" on Windows, "/name" on POSIX). Tests move the root into a
// directory of their own with SetFileSystemRoot.
std::string RootPath(const char* name);
void SetFileSystemRoot(const std::string& root);

// The last-write time of an existing file, opened for reading with others
// allowed to read it too, without waiting (a FIFO without a writer opens at
// once). False when the file cannot be opened or its time cannot be had.
bool FileLastWriteTime(const char* path, uint64_t& writeTime);

enum class FileOpenResult { Opened, Failed, TooLarge };
// Opens an existing regular file of at most sizeLimit bytes for reading as
// text; anything else (a device, a FIFO, a folder) fails. The open never
// waits, and the checks are made on the file as opened, so that another
// file put in the path's place meanwhile cannot slip through. The size in
// size whenever the file could be opened.
std::FILE* OpenRegularFile(const char* path, uint64_t sizeLimit, FileOpenResult& result, uint64_t& size);
// From here on the file reads as its bytes are, line ends included (on
// Windows a file opened as text reads CR LF as LF).
void ReadAsBytes(std::FILE* file);

// ---- Process ---------------------------------------------------------------

// The process's command line split into arguments: the first is the program
// as it was started.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

uint32_t CurrentProcessId();

// Asks for a successor of this process from the command line (its first
// word names the program, then the arguments). On Windows it starts at once
// as an independent process with a console of its own. On POSIX it is only
// remembered: HandOverToSuccessor later puts it in this process's place. False
// when nothing could be started.
bool StartSuccessor(const std::string& commandLine);

// Hands this process over to the successor asked for. On POSIX this process's
// own executable replaces the running image with the successor's arguments
// (same process id, terminal and parent; every file and socket closed, the
// terminal's modes given back) and the call does not return, unless that
// fails. Returns true when the successor runs on its own (Windows), false
// when there is none; the caller then ends this process.
bool HandOverToSuccessor();

// Starts a thread running the body, detached, with the platform's default
// stack size; false when it cannot be created.
bool StartThread(void (*body)());

// Runs the function (on a thread of its own) when the operator presses
// Ctrl-C or Ctrl-Break, or the console is closed or the process asked to
// end, instead of ending the process at once; the function ends the process
// itself. Call it before starting any thread.
void OnConsoleBreak(void (*handler)());

// Ends the whole process at once with the code, from any thread. POSIX keeps
// only the low 8 bits of the code.
[[noreturn]] void ExitProcess(int code);

// ---- Sockets -----------------------------------------------------------------

using SocketHandle = int64_t;
inline constexpr SocketHandle NO_SOCKET = -1;

// NoDescriptors: this process (or the system) has no descriptors left for
// another socket.
enum class IoStatus { Ok, TimedOut, Closed, Refused, NoDescriptors, Error };

// An IPv4 address (host byte order) from dotted decimal or a host name.
bool ResolveIpv4(const char* host, uint32_t& address);

// A TCP connection with small-packet delay switched off; NO_SOCKET on failure,
// with status TimedOut when the time-out passed first, Refused when nobody
// listens there, NoDescriptors, else Error.
SocketHandle TcpConnect(uint32_t address, uint16_t port, uint32_t timeoutMs, IoStatus& status);
uint16_t LocalPort(SocketHandle socket);

// Sends or receives exactly length bytes within the time-out.
IoStatus SendAll(SocketHandle socket, const uint8_t* data, size_t length, uint32_t timeoutMs);
IoStatus ReceiveAll(SocketHandle socket, uint8_t* data, size_t length, uint32_t timeoutMs);
// Receives what has arrived, at least one byte and at most capacity, within
// the time-out; the count in received.
IoStatus ReceiveSome(SocketHandle socket, uint8_t* data, size_t capacity, uint32_t timeoutMs, size_t& received);
void CloseSocket(SocketHandle socket);

// UDP over IPv4. Addresses are in host byte order.
SocketHandle UdpOpen();
// False when the socket could not be bound; addressInUse then tells whether
// another socket holds the address and port.
bool UdpBind(SocketHandle socket, uint32_t address, uint16_t port, bool* addressInUse = nullptr);
// SO_BROADCAST given as a 4-byte integer of the value.
void SetBroadcast(SocketHandle socket, int32_t value);
// Asks for a receive buffer of that many bytes (the system may give less).
void SetReceiveBuffer(SocketHandle socket, int32_t bytes);
// The bytes sent, or -1.
int UdpSendTo(SocketHandle socket, const uint8_t* data, size_t length, uint32_t address, uint16_t port);
// Blocks for one datagram: its length, or -1 on an error and also when the
// datagram was longer than the buffer (never silently cut); the sender's
// address and port when asked for.
int UdpReceive(SocketHandle socket, uint8_t* buffer, size_t capacity, uint32_t* fromAddress = nullptr,
               uint16_t* fromPort = nullptr);
// Waits up to the time-out for a datagram to be ready to receive.
bool UdpWaitReadable(SocketHandle socket, uint32_t timeoutMs);
// False when the socket could not be closed.
bool UdpClose(SocketHandle socket);

// The host's name, and the IPv4 addresses of a host name in the order the
// system lists them, with its official name.
bool LocalHostName(std::string& name);
bool HostAddresses(const char* hostName, std::string& officialName, std::vector<uint32_t>& addresses);

// ---- Window messages and shared buffers (the simulator's own interface) --------
// Real on Windows; elsewhere no server window ever exists. The client's side.

bool HasWindowMessaging();
uintptr_t FindServerWindow(const char* className);
uint32_t RegisterMessageName(const char* name);  // 0 on failure
uint16_t AddGlobalAtom(const char* name);              // 0 on failure
void DeleteGlobalAtom(uint16_t atom);

struct SharedBuffer {
  uintptr_t mapping = 0;
  uint8_t* view = nullptr;
};
enum class SharedBufferResult { Ok, CreateFailed, AlreadyExists, MapFailed };
// Creates a named buffer backed by the paging file and maps all of it.
SharedBufferResult CreateSharedBuffer(const char* name, uint32_t size, SharedBuffer& buffer);
void CloseSharedBuffer(SharedBuffer& buffer);

enum class SendStatus { Delivered, TimedOut, Failed };
// Sends the message and waits (blocking this thread) up to the time-out for
// the answer.
SendStatus SendBlockingMessage(uintptr_t window, uint32_t message, uintptr_t first, intptr_t second,
                               uint32_t timeoutMs, intptr_t& answer);

}  // namespace platform
