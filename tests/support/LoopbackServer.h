#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "support/TestSockets.h"

// A one-client TCP server on 127.0.0.1 with a port chosen by the system (or a given one). serve()
// accepts the client and runs a script with it on the server's own thread; every wait of the script
// is bounded by the time-out. The destructor joins the thread.
class LoopbackServer {
 public:
  class Connection {
   public:
    explicit Connection(testSockets::Handle connected) : handle(connected) {}
    // Sends all bytes, in pieces of at most chunk bytes (0: at once), each its own segment.
    bool send(const std::string& bytes, std::size_t chunk = 0);
    // Receives exactly count bytes; false on time-out or close.
    bool receive(std::size_t count, std::string& bytes);
    // Receives one packet: 8-byte head and the payload it declares.
    bool receivePacket(std::string& packet);
    // True when the peer closes before the time-out without sending anything more.
    bool waitForClose();

   private:
    testSockets::Handle handle;
  };

  // Throws std::runtime_error when it cannot listen (a given port in use, for one).
  explicit LoopbackServer(std::chrono::milliseconds timeout = std::chrono::seconds(5),
                          std::uint16_t port = 0);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t port() const { return listenPort; }
  // Shrinks the receive buffer of the connection still to be accepted, so that a client
  // sending to a script that never reads blocks soon.
  void limitReceiveBuffer(int bytes);
  // Shrinks the send buffer of this process's socket connected to the server: the system
  // would otherwise grow it to megabytes before a send to a script that never reads blocks.
  void limitClientSendBuffer(int bytes);
  // Accepts one client and runs script with it on the server thread, then closes it.
  void serve(std::function<void(Connection&)> script);
  // Waits for the script to end.
  void join();
  // Whether a client was accepted (after join).
  bool accepted() const { return clientAccepted; }

 private:
  testSockets::Handle listener = testSockets::kInvalid;
  std::uint16_t listenPort = 0;
  std::chrono::milliseconds timeout;
  bool clientAccepted = false;
  std::thread thread;
};
