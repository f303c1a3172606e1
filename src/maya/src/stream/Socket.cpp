#include "stream/Socket.h"

#include "stream/SocketPlatform.h"

namespace {

constexpr int kTimeoutMs = 3000;

}  // namespace

// The library reference is held by the handle, not by each copy: one start, one release.
struct Socket::Shared {
  socketPlatform::Handle handle;
  int owners;
};

Socket::Socket() : shared(new Shared{socketPlatform::kInvalidHandle, 1}) {
  if (!socketPlatform::startLibrary()) {
    delete shared;
    throw "Could not start WSA";
  }
  shared->handle = socketPlatform::openTcp();
  if (shared->handle == socketPlatform::kInvalidHandle) {
    socketPlatform::releaseLibrary();
    delete shared;
    throw "INVALID_SOCKET";
  }
  socketPlatform::setTimeouts(shared->handle, kTimeoutMs);
  // Header queries are small and each waits for its answer: never hold one back for an ACK.
  socketPlatform::setNoDelay(shared->handle);
}

Socket::Socket(const Socket& other) : shared(other.shared) { ++shared->owners; }

Socket::~Socket() {
  if (--shared->owners != 0) return;
  if (shared->handle != socketPlatform::kInvalidHandle) socketPlatform::close(shared->handle);
  delete shared;
  socketPlatform::releaseLibrary();
}

Socket::Handle Socket::nativeHandle() const { return shared->handle; }

int Socket::receive(char* buffer, int size) {
  if (buffer == nullptr) return -1;
  for (;;) {
    const int received = socketPlatform::receive(shared->handle, buffer, size, errorNumber);
    if (received > 0) return received;
    if (received == 0) return -1;
    if (socketPlatform::isInterrupted(errorNumber)) continue;
    return socketPlatform::isTimeout(errorNumber) ? -2 : -1;
  }
}

int Socket::send(const char* data, int length) {
  if (length <= 0) return -1;
  int sent = 0;
  while (sent < length) {
    const int result =
        socketPlatform::send(shared->handle, data + sent, length - sent, errorNumber);
    if (result > 0) {
      sent += result;
      continue;
    }
    if (result == 0) return sent;
    if (socketPlatform::isInterrupted(errorNumber)) continue;
    return socketPlatform::isTimeout(errorNumber) ? -2 : -1;
  }
  return sent;
}

int Socket::close() {
  if (shared->handle == socketPlatform::kInvalidHandle) return -1;
  // Never retried: the handle is gone whatever the close call returns.
  const int result = socketPlatform::close(shared->handle);
  shared->handle = socketPlatform::kInvalidHandle;
  return result;
}

void Socket::shutdown() {
  if (shared->handle != socketPlatform::kInvalidHandle) {
    socketPlatform::shutdownBoth(shared->handle);
  }
}
