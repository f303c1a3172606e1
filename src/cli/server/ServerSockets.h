#pragma once

#include <cstdint>
#include <string>

#include "stream/SocketPlatform.h"

// What a server needs beyond the stream library's socket calls (socketPlatform), alike on
// Windows and POSIX: what the two do differently stays in ServerSockets.cpp.
namespace serverSockets {

using Handle = socketPlatform::Handle;

// A dotted IPv4 address, or false.
bool parseIPv4(const std::string& text, std::uint32_t& address);
// Listens on address:port; port is the one wanted (0: any) on entry, the one bound on return.
// kInvalidHandle, with the system's text in error, on failure: a port that another listener
// holds is refused on Windows too.
Handle listen(std::uint32_t address, std::uint16_t& port, std::string& error);
// Waits up to milliseconds until handle has a client to accept, or bytes or a close to receive.
bool waitReadable(Handle handle, int milliseconds);
// kInvalidHandle on failure.
Handle accept(Handle listener);
// Whether the error of a send or receive says the peer has gone: reset, aborted, broken pipe.
bool isPeerGone(int error);
// The peer's "address:port", "?" when unknown.
std::string peerText(Handle handle);

}  // namespace serverSockets
