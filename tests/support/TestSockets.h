#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Raw loopback sockets for the test support and the tests, alike on Windows and POSIX: what the
// two do differently stays in TestSockets.cpp. Any call that makes a socket starts the socket
// library for the rest of the process first. Thread-safe.
namespace testSockets {

// Wide enough for a Windows SOCKET and a POSIX descriptor.
using Handle = std::uintptr_t;
constexpr Handle kInvalid = ~Handle{0};

// An IPv4 TCP socket, neither bound nor connected.
Handle open();
// Listens on 127.0.0.1: port is the one wanted (0: any) on entry, the one bound on return.
Handle listenLoopback(std::uint16_t& port, int backlog);
// Bound to 127.0.0.1 as listenLoopback, not listening: the port is held, and connects to it
// are refused.
Handle bindLoopback(std::uint16_t& port);
// listenLoopback for a server that closes and listens on the same port again while its
// connections sit in TIME_WAIT: POSIX allows that only with SO_REUSEADDR on every listener of
// the port (accepted connections inherit it); Windows allows it anyway, and its SO_REUSEADDR
// would let two listeners share the port.
Handle reusableListenLoopback(std::uint16_t& port, int backlog);
// Whether bytes (or the peer's close) wait on handle, within timeout.
bool readable(Handle handle, std::chrono::milliseconds timeout);
// Waits up to timeout for a client, then accepts it; kInvalid after the time-out.
Handle accept(Handle listener, std::chrono::milliseconds timeout);
// A socket connected to 127.0.0.1:port, or kInvalid.
Handle connectLoopback(std::uint16_t port);
void close(Handle handle);
// Whether handle is an open socket.
bool isOpen(Handle handle);

// Bounds each later receive and send.
void setTimeouts(Handle handle, std::chrono::milliseconds timeout);
void setNoDelay(Handle handle);
bool hasNoDelay(Handle handle);
void setReceiveBuffer(Handle handle, int bytes);
void setSendBuffer(Handle handle, int bytes);
// This process's sockets connected to 127.0.0.1:port.
std::vector<Handle> connectedTo(std::uint16_t port);

// One send or receive call, retried while interrupted: the byte count, 0 when the peer has
// closed (receive), -1 on error or time-out. A send to a closed peer never raises SIGPIPE.
long long send(Handle handle, const char* data, std::size_t size);
long long receive(Handle handle, char* buffer, std::size_t size);

// The system's text for a refused connect, on one line.
std::string refusedText();
// The resolver's text for why host cannot be looked up, on one line; empty if it can.
std::string resolveErrorText(const std::string& host);

}  // namespace testSockets
