#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BREX_PLUG_MESSAGE.pb.h"
#include "ServerSockets.h"
#include "stream/PacketCodec.h"

// Stands in for the streaming application: serves a fixed set of actors to any number of
// clients at once, each client on its own thread. A client receives the actor list on connect,
// the header of each actor it asks for, and every actor's frames at the actor's rate, looping.
// start, stop and waitFinished belong to one thread; the log callback is called from the
// server's threads, one call at a time.
class StreamServer {
 public:
  struct Actor {
    std::string name;
    BrexPlugs::BVH_JOIN root;
    double framesPerSecond = 60.0;
    // One value per channel of root's tree in each frame, played in order.
    std::vector<std::vector<float>> frames;
  };

  struct Options {
    std::string bindAddress = "127.0.0.1";
    std::uint16_t port = 0;        // 0: chosen by the system
    double framesPerSecond = 0.0;  // 0: each actor's own rate
    PacketCodec::Compression compression = PacketCodec::Compression::kNone;
    // Serve one client, send each actor's frames once, close it and finish.
    bool once = false;
  };

  using Log = std::function<void(const std::string& line)>;

  StreamServer(std::vector<Actor> actors, Options options, Log log = nullptr);
  ~StreamServer();
  StreamServer(const StreamServer&) = delete;
  StreamServer& operator=(const StreamServer&) = delete;

  // Listens and starts serving. False, with the reason in error, when the address is not an
  // IPv4 address or cannot be listened on.
  bool start(std::string& error);
  // Closes every client, stops listening and joins all threads. Clients are logged as closed.
  void stop();
  // Waits until the server has finished on its own (once); false when timeout passes first.
  bool waitFinished(std::chrono::milliseconds timeout);

  std::uint16_t port() const { return listenPort; }
  const std::vector<Actor>& servedActors() const { return actors; }

  // The tag the server gives the actor at index in its list.
  static std::uint32_t actorTag(int index) { return 1001u + static_cast<std::uint32_t>(index); }

 private:
  struct Client {
    std::thread thread;
    std::atomic<bool> ended{false};
  };

  void acceptLoop();
  // Returns how the client ended, as the end of its log line.
  std::string serveClient(int id, serverSockets::Handle handle);
  void log(const std::string& line);
  void finish();

  std::vector<Actor> actors;
  Options options;
  Log logLine;
  std::mutex logMutex;
  // Held from construction to destruction, for the sockets of every start.
  bool libraryStarted;
  serverSockets::Handle listener = socketPlatform::kInvalidHandle;
  std::uint16_t listenPort = 0;
  std::atomic<bool> stopRequested{false};
  std::thread acceptThread;
  std::list<Client> clients;  // accept thread only
  int clientsAccepted = 0;    // accept thread only
  std::mutex finishedMutex;
  std::condition_variable finishedChanged;
  bool finished = false;
};
