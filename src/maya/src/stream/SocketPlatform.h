#pragma once

#include <cstdint>
#include <string>

// The system socket calls Socket and SocketClient make, one function each, so that everything
// Winsock and POSIX sockets do differently stays in SocketPlatform.cpp. Error numbers are the
// system's own (WSAGetLastError or errno), taken at the failing call.
namespace socketPlatform {

// Wide enough for a Windows SOCKET and a POSIX descriptor.
using Handle = std::uintptr_t;
// INVALID_SOCKET on Windows, -1 on POSIX.
constexpr Handle kInvalidHandle = ~Handle{0};

// Takes one reference on the socket library (Winsock), which counts them itself; every true
// result needs its own releaseLibrary(). Thread-safe.
bool startLibrary();
void releaseLibrary();

// A new IPv4 TCP socket, or kInvalidHandle.
Handle openTcp();
// Never to be retried: the handle is gone whatever it returns. 0 or -1.
int close(Handle handle);
// Both directions, so that a receive or send blocked on another thread returns.
void shutdownBoth(Handle handle);
// Bounds each later receive and send call.
void setTimeouts(Handle handle, int milliseconds);
void setNoDelay(Handle handle);

// One receive or send call (a send to a closed peer never raises SIGPIPE). Returns the byte
// count, 0 when the peer has closed (receive), or -1 with the system's error number in error.
int receive(Handle handle, char* buffer, int size, int& error);
int send(Handle handle, const char* data, int length, int& error);
bool isInterrupted(int error);
bool isTimeout(int error);

// The error number of the last failed call of this thread.
int lastError();
// The system's text for an error number, on one line.
std::string errorText(int error);

// Looks a name or dotted IPv4 address up. False with the resolver's text in reason.
bool resolveIPv4(const std::string& host, std::uint32_t& address, std::string& reason);
bool setBlocking(Handle handle, bool blocking);
// Starts a connect to an address from resolveIPv4. 0 when connected at once, else the error
// number; isConnectPending(it) when a non-blocking connect is under way.
int startConnect(Handle handle, std::uint32_t address, std::uint16_t port);
bool isConnectPending(int error);
// Waits for a pending connect to end: 1 when it ended (connected or failed), 0 on time-out,
// -1 on error (see lastError()).
int waitConnect(Handle handle, int milliseconds);
// How an ended connect went: 0 connected, else its error number.
int connectError(Handle handle);

}  // namespace socketPlatform
