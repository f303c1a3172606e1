#include "StreamServer.h"

#include <algorithm>
#include <utility>

#include "stream/PacketReader.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often the threads look at the stop request while nothing else happens.
constexpr int kPollMs = 50;

bool sendAll(serverSockets::Handle handle, const std::string& bytes, int& error) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const int result = socketPlatform::send(handle, bytes.data() + sent,
                                            static_cast<int>(bytes.size() - sent), error);
    if (result < 0 && socketPlatform::isInterrupted(error)) continue;
    if (result <= 0) {
      if (result == 0) error = 0;
      return false;
    }
    sent += static_cast<std::size_t>(result);
  }
  return true;
}

}  // namespace

StreamServer::StreamServer(std::vector<Actor> served, Options settings, Log log)
    : actors(std::move(served)),
      options(std::move(settings)),
      logLine(std::move(log)),
      libraryStarted(socketPlatform::startLibrary()) {}

StreamServer::~StreamServer() {
  stop();
  if (libraryStarted) socketPlatform::releaseLibrary();
}

bool StreamServer::start(std::string& error) {
  stop();
  std::uint32_t address = 0;
  if (!serverSockets::parseIPv4(options.bindAddress, address)) {
    error = "\"" + options.bindAddress + "\" is not an IPv4 address";
    return false;
  }
  listenPort = options.port;
  listener = serverSockets::listen(address, listenPort, error);
  if (listener == socketPlatform::kInvalidHandle) return false;
  stopRequested = false;
  {
    std::lock_guard<std::mutex> lock(finishedMutex);
    finished = false;
  }
  acceptThread = std::thread(&StreamServer::acceptLoop, this);
  return true;
}

void StreamServer::stop() {
  stopRequested = true;
  if (acceptThread.joinable()) acceptThread.join();
  if (listener != socketPlatform::kInvalidHandle) socketPlatform::close(listener);
  listener = socketPlatform::kInvalidHandle;
}

bool StreamServer::waitFinished(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(finishedMutex);
  return finishedChanged.wait_for(lock, timeout, [this] { return finished; });
}

void StreamServer::finish() {
  std::lock_guard<std::mutex> lock(finishedMutex);
  finished = true;
  finishedChanged.notify_all();
}

void StreamServer::log(const std::string& line) {
  if (!logLine) return;
  std::lock_guard<std::mutex> lock(logMutex);
  logLine(line);
}

void StreamServer::acceptLoop() {
  while (!stopRequested) {
    clients.remove_if([](Client& client) {
      if (!client.ended) return false;
      client.thread.join();
      return true;
    });
    if (options.once && clientsAccepted > 0) {
      if (clients.empty()) break;
    } else {
      if (!serverSockets::waitReadable(listener, kPollMs)) continue;
      const serverSockets::Handle handle = serverSockets::accept(listener);
      if (handle == socketPlatform::kInvalidHandle) continue;
      const int id = ++clientsAccepted;
      clients.emplace_back();
      Client& client = clients.back();
      client.thread = std::thread([this, id, handle, &client] {
        log("client " + std::to_string(id) + " connected from " + serverSockets::peerText(handle));
        const std::string end = serveClient(id, handle);
        socketPlatform::close(handle);
        log("client " + std::to_string(id) + " " + end);
        client.ended = true;
      });
      continue;
    }
    // Only once-mode waits here for its one client; the thread's end is seen on the next turn.
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  for (Client& client : clients) client.thread.join();
  clients.clear();
  finish();
}

std::string StreamServer::serveClient(int id, serverSockets::Handle handle) {
  socketPlatform::setNoDelay(handle);
  // Bounded sends and receives: a stalled client cannot hold its thread past a stop request.
  socketPlatform::setTimeouts(handle, 1000);

  const std::string who = "client " + std::to_string(id);
  int error = 0;
  std::uint64_t framesSent = 0;
  const auto disconnected = [&] {
    return "disconnected after " + std::to_string(framesSent) + " frames";
  };
  // A client that closes while a frame is on its way is seen by the send, as a reset or a
  // broken pipe, rather than by a receive.
  const auto lost = [&] {
    if (serverSockets::isPeerGone(error)) return disconnected();
    return "lost after " + std::to_string(framesSent) + " frames" +
           (error ? ": " + socketPlatform::errorText(error) : std::string());
  };

  BrexPlugs::BREX_PLUGIN_MESSAGE message;
  message.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::COMMAND);
  message.mutable_command()->set_cmdtype(BrexPlugs::COMMAND::Notify_ActorsList);
  auto& names = *message.mutable_command()->mutable_actorslist()->mutable_map();
  for (std::size_t index = 0; index < actors.size(); ++index) {
    names[actorTag(static_cast<int>(index))] = actors[index].name;
  }
  std::string packet;
  PacketCodec::encodePacket(message, options.compression, packet);
  if (!sendAll(handle, packet, error)) return lost();

  PacketReader reader;
  PacketCodec codec;
  std::unique_ptr<char[]> payload(new char[PacketReader::kMaxPayload]);
  BrexPlugs::BREX_PLUGIN_MESSAGE query;
  BrexPlugs::BREX_PLUGIN_MESSAGE header;
  header.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::HEADER_DATA);
  BrexPlugs::BREX_PLUGIN_MESSAGE frame;
  frame.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::FRAME_DATA);
  std::uint32_t magic = 0;
  int length = 0;
  bool closed = false;
  int receiveError = 0;
  const PacketReader::ReceiveFunction receive = [handle, &closed, &receiveError](char* buffer,
                                                                                 int size) {
    int result;
    do {
      result = socketPlatform::receive(handle, buffer, size, receiveError);
    } while (result < 0 && socketPlatform::isInterrupted(receiveError));
    if (result == 0) closed = true;
    return result > 0 ? result : -1;
  };

  struct Playback {
    Clock::duration period;
    Clock::time_point next;
    std::size_t frame = 0;
    bool done = false;
  };
  const auto begin = Clock::now();
  std::vector<Playback> playbacks;
  for (const Actor& actor : actors) {
    const double rate = options.framesPerSecond > 0 ? options.framesPerSecond
                                                    : std::max(actor.framesPerSecond, 0.01);
    playbacks.push_back(
        {std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate)),
         begin});
  }

  while (!stopRequested) {
    auto due = Clock::time_point::max();
    bool allDone = true;
    for (const Playback& playback : playbacks) {
      if (playback.done) continue;
      allDone = false;
      due = std::min(due, playback.next);
    }
    if (allDone) return "done after " + std::to_string(framesSent) + " frames, each actor once";

    const auto now = Clock::now();
    const auto wait = due > now ? std::chrono::duration_cast<std::chrono::milliseconds>(due - now)
                                : std::chrono::milliseconds(0);
    bool ready = serverSockets::waitReadable(
        handle, static_cast<int>(std::min<long long>(wait.count(), kPollMs)));
    while (ready) {
      // A closed client, or one stalling inside a query for the receive time-out, is done.
      if (!reader.next(receive, payload.get(), magic, length)) {
        if (closed) return disconnected();
        error = receiveError;
        return lost();
      }
      if (codec.decode(magic, payload.get(), length, query) &&
          query.command().cmdtype() == BrexPlugs::COMMAND::Command_Query_BVH_Header) {
        const std::uint32_t tag = query.command().actortag();
        const std::uint32_t index = tag - actorTag(0);
        if (tag < actorTag(0) || index >= actors.size()) {
          log(who + " asked for the header of unknown actor tag " + std::to_string(tag));
        } else {
          log(who + " asked for the header of " + actors[index].name + " (tag " +
              std::to_string(tag) + ")");
          header.mutable_header()->set_actortag(tag);
          header.mutable_header()->set_actorname(actors[index].name);
          *header.mutable_header()->mutable_rootjoin() = actors[index].root;
          packet.clear();
          PacketCodec::encodePacket(header, options.compression, packet);
          if (!sendAll(handle, packet, error)) return lost();
        }
      }
      ready = reader.buffered() || serverSockets::waitReadable(handle, 0);
    }

    for (std::size_t index = 0; index < actors.size(); ++index) {
      Playback& playback = playbacks[index];
      const Actor& actor = actors[index];
      if (playback.done || Clock::now() < playback.next) continue;
      if (actor.frames.empty()) {
        playback.done = true;
        continue;
      }
      const std::vector<float>& values = actor.frames[playback.frame];
      frame.mutable_frame()->set_actortag(actorTag(static_cast<int>(index)));
      frame.mutable_frame()->mutable_motiondata()->Assign(values.begin(), values.end());
      packet.clear();
      PacketCodec::encodePacket(frame, options.compression, packet);
      if (!sendAll(handle, packet, error)) return lost();
      ++framesSent;
      playback.next += playback.period;
      if (++playback.frame == actor.frames.size()) {
        playback.frame = 0;
        playback.done = options.once;
      }
    }
  }
  return "closed by the server after " + std::to_string(framesSent) + " frames";
}
