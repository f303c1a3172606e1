#pragma once

#ifdef _WIN32
#include <winsock2.h>
#endif

// Owns one IPv4 TCP socket handle, shared by copies through a use count; the last owner
// closes it. Not thread-safe: one thread receives or sends on a given socket at a time.
class Socket {
 public:
#ifdef _WIN32
  using Handle = SOCKET;
#else
  using Handle = int;
#endif

  // Creates the socket with 3 s receive and send time-outs. Throws the C string
  // "Could not start WSA" or "INVALID_SOCKET" on failure.
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
  // Closes the handle (the object must still be destroyed). Returns the close call's result.
  int close();
  // Shuts the socket down for reading, so that a receive blocked on another thread returns.
  void shutdownRead();

  // Error number of the last failed receive or send call.
  int lastError() const { return errorNumber; }

 protected:
  Handle handle;

 private:
  int* useCount = nullptr;
  int errorNumber = 0;
};
