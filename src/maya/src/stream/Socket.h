#pragma once

#include <cstdint>

// Owns one IPv4 TCP socket handle, shared by copies; the last one destroyed closes it, and a
// close through any copy is seen by all. Not thread-safe: one thread receives or sends on a
// given socket at a time; shutdown() may come from another.
class Socket {
 public:
  // Wide enough for a Windows SOCKET and a POSIX descriptor.
  using Handle = std::uintptr_t;

  // Creates the socket with 3 s receive and send time-outs and no send delay (TCP_NODELAY).
  // Throws the C string "Could not start WSA" or "INVALID_SOCKET" on failure.
  Socket();
  // Shares the handle of other.
  Socket(const Socket& other);
  Socket& operator=(const Socket&) = delete;
  virtual ~Socket();

  // One receive call (retried while interrupted). Returns the byte count (> 0), -2 on
  // time-out, -1 on a null buffer, a closed peer or any other error.
  int receive(char* buffer, int size);
  // Sends all length bytes (retried while interrupted or partial). Returns the count sent,
  // -2 on time-out, -1 when length <= 0 or on any other error.
  int send(const char* data, int length);
  // Closes the handle for every copy (each must still be destroyed). Returns the close call's
  // result, -1 if it was closed already.
  int close();
  // Shuts both directions down, so that a receive or send blocked on another thread returns.
  void shutdown();

  // Error number of the last failed receive or send call.
  int lastError() const { return errorNumber; }

 protected:
  // The shared handle; the null handle of the platform after close().
  Handle nativeHandle() const;

 private:
  struct Shared;
  Shared* shared;
  int errorNumber = 0;
};
