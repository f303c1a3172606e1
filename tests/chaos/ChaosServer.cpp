#include "chaos/ChaosServer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "stream/PacketReader.h"
#include "support/StreamMessages.h"

namespace {

using Clock = ChaosServer::Clock;
using std::chrono::milliseconds;

// Distinct actor lists the client may still hold: lists go out only on a connection, so it
// misses one only when the connection ends before the list is read, a rare event.
constexpr std::size_t kListsKept = 3;
constexpr std::size_t kEventsKept = 40;
// Mean time between faults.
constexpr double kFaultsPerSecond = 2.0;

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// 16 MiB of zeros, zlib-framed: a few kilobytes that inflate far past what the client allows.
// Deflated from one small block, so that no large buffer passes through this process's heap.
std::string zlibBomb() {
  static const unsigned char zeros[65536] = {};
  z_stream deflater{};
  deflateInit(&deflater, 9);
  std::string packed;
  unsigned char out[65536];
  for (int block = 0; block <= 256; ++block) {
    const bool last = block == 256;
    deflater.next_in = const_cast<unsigned char*>(zeros);
    deflater.avail_in = last ? 0 : sizeof zeros;
    do {
      deflater.next_out = out;
      deflater.avail_out = sizeof out;
      deflate(&deflater, last ? Z_FINISH : Z_NO_FLUSH);
      packed.append(reinterpret_cast<char*>(out), sizeof out - deflater.avail_out);
    } while (deflater.avail_out == 0);
  }
  deflateEnd(&deflater);
  return streamMessages::rawPacket("CCCC", static_cast<std::int32_t>(packed.size()), packed);
}

}  // namespace

ChaosServer::ChaosServer(std::uint64_t seed) : random(seed), bomb(zlibBomb()) {
  for (int actor = 0; actor < chaosFrames::kActors; ++actor) {
    variants[static_cast<std::size_t>(actor)] = static_cast<int>(random() % chaosFrames::kVariants);
  }
  listed = {0, 1, 2, 3, 4};
}

ChaosServer::~ChaosServer() { stop(); }

void ChaosServer::start() {
  listener = testSockets::reusableListenLoopback(listenPort, 4);
  if (listener == testSockets::kInvalid) throw std::runtime_error("the chaos server cannot listen");
  {
    std::lock_guard<std::mutex> lock(ledgerMutex);
    waiting = Clock::now();
  }
  thread = std::thread([this] { run(); });
}

void ChaosServer::stop() {
  {
    std::lock_guard<std::mutex> lock(pauseMutex);
    stopping = true;
  }
  pauseSignal.notify_all();
  if (thread.joinable()) thread.join();
  closeListener();
}

bool ChaosServer::heldSlot(int actor, int slot) const {
  std::lock_guard<std::mutex> lock(ledgerMutex);
  for (const std::vector<int>& actors : lists) {
    if (slot < static_cast<int>(actors.size()) && actors[static_cast<std::size_t>(slot)] == actor) {
      return true;
    }
  }
  return false;
}

std::optional<ChaosServer::FirstFrame> ChaosServer::takeFirstFrame() {
  std::lock_guard<std::mutex> lock(ledgerMutex);
  std::optional<FirstFrame> taken = firstFrame;
  firstFrame.reset();
  return taken;
}

Clock::time_point ChaosServer::lastDisturbance() const {
  std::lock_guard<std::mutex> lock(ledgerMutex);
  return disturbance;
}

std::optional<Clock::time_point> ChaosServer::waitingSince() const {
  std::lock_guard<std::mutex> lock(ledgerMutex);
  return waiting;
}

int ChaosServer::connections() const {
  std::lock_guard<std::mutex> lock(ledgerMutex);
  return connectionCount;
}

std::map<std::string, int> ChaosServer::faults() const {
  std::lock_guard<std::mutex> lock(ledgerMutex);
  return faultCounts;
}

std::string ChaosServer::recentEvents() const {
  std::lock_guard<std::mutex> lock(ledgerMutex);
  std::string text;
  for (const std::string& event : events) text += "  server " + event + "\n";
  return text;
}

void ChaosServer::run() {
  while (!stopping) {
    if (listener == testSockets::kInvalid) {
      if (!pause(downUntil)) break;
      listener = testSockets::reusableListenLoopback(listenPort, 4);
      if (listener == testSockets::kInvalid) {
        // The port is still held by the connection just closed; try again shortly.
        if (!pause(Clock::now() + milliseconds(20))) break;
        continue;
      }
      note("listening again");
      std::lock_guard<std::mutex> lock(ledgerMutex);
      waiting = Clock::now();
    }
    const testSockets::Handle client = testSockets::accept(listener, milliseconds(50));
    if (client == testSockets::kInvalid) continue;
    {
      std::lock_guard<std::mutex> lock(ledgerMutex);
      waiting.reset();
      ++connectionCount;
    }
    serve(client);
    if (listener != testSockets::kInvalid) {
      std::lock_guard<std::mutex> lock(ledgerMutex);
      waiting = Clock::now();
    }
  }
}

void ChaosServer::serve(testSockets::Handle client) {
  serveUntilClosed(client);
  testSockets::close(client);
}

void ChaosServer::serveUntilClosed(testSockets::Handle client) {
  testSockets::setTimeouts(client, milliseconds(2000));
  testSockets::setNoDelay(client);
  received.clear();
  headerSent.fill(false);
  // A connection may find other skeletons and actors than the last one did.
  for (int& variant : variants) {
    if (random() % 4 == 0) variant = static_cast<int>(random() % chaosFrames::kVariants);
  }
  note("accepted a client");
  if (!sendList(client)) return;
  firstFramePending = true;
  std::exponential_distribution<double> faultGap(kFaultsPerSecond);
  Clock::time_point nextFault = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(faultGap(random)));
  Clock::time_point nextFrame = Clock::now();
  while (!stopping) {
    if (!answerQueries(client)) {
      note("the client left");
      return;
    }
    const Clock::time_point now = Clock::now();
    if (now >= nextFault) {
      const Outcome outcome = fault(client);
      if (outcome != Outcome::kGoOn) return;
      nextFault = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(faultGap(random)));
      continue;
    }
    if (now >= nextFrame) {
      if (!sendFrames(client)) {
        note("a send failed");
        return;
      }
      nextFrame += std::chrono::duration_cast<Clock::duration>(
          std::chrono::duration<double>(1.0 / framesPerSecond));
      // Fallen far behind (a slow send): carry on from now rather than burst.
      if (Clock::now() - nextFrame > milliseconds(100)) nextFrame = Clock::now();
      continue;
    }
    const auto wait =
        std::chrono::duration_cast<milliseconds>(std::min(nextFrame, nextFault) - now);
    testSockets::readable(client, std::max(wait, milliseconds(0)));
  }
}

bool ChaosServer::answerQueries(testSockets::Handle client) {
  while (testSockets::readable(client, milliseconds(0))) {
    char buffer[4096];
    const long long got = testSockets::receive(client, buffer, sizeof buffer);
    if (got <= 0) return false;
    received.append(buffer, static_cast<std::size_t>(got));
  }
  BrexPlugs::BREX_PLUGIN_MESSAGE message;
  while (received.size() >= PacketReader::kHeadSize) {
    std::int32_t length = 0;
    std::memcpy(&length, received.data() + 4, sizeof length);
    if (length < 0 || length > PacketReader::kMaxPayload) {
      note("the client sent a bad packet head");
      return false;
    }
    const std::size_t size = PacketReader::kHeadSize + static_cast<std::size_t>(length);
    if (received.size() < size) break;
    std::uint32_t magic = 0;
    std::memcpy(&magic, received.data(), sizeof magic);
    if (codec.decode(magic, received.data() + PacketReader::kHeadSize, length, message) &&
        message.message() == BrexPlugs::BREX_PLUGIN_MESSAGE::COMMAND &&
        message.command().cmdtype() == BrexPlugs::COMMAND::Command_Query_BVH_Header) {
      const int actor = chaosFrames::actorOfTag(message.command().actortag());
      const bool isListed = std::find(listed.begin(), listed.end(), actor) != listed.end();
      if (isListed && !sendHeader(client, actor)) return false;
    }
    received.erase(0, size);
  }
  return true;
}

ChaosServer::Outcome ChaosServer::fault(testSockets::Handle client) {
  const int kind = static_cast<int>(random() % 26);
  if (kind < 3) {
    const auto down = milliseconds(random() % 1500);
    count("close and come back");
    note("closes and stays down for " + std::to_string(down.count()) + " ms");
    disturbed();
    closeListener();
    {
      std::lock_guard<std::mutex> lock(ledgerMutex);
      waiting.reset();
    }
    downUntil = Clock::now() + down;
    return Outcome::kDown;
  }
  if (kind < 4) {
    count("drop the connection");
    note("drops the connection");
    disturbed();
    return Outcome::kClosed;
  }
  if (kind < 7) {
    const auto stall = milliseconds(50 + random() % 1950);
    count("stall");
    note("stalls for " + std::to_string(stall.count()) + " ms");
    disturbed();
    pause(Clock::now() + stall);
    return Outcome::kGoOn;
  }
  if (kind < 10) {
    // Whole words, none of them a magic, so that the client finds the next packet's head.
    std::string garbage(4 * (1 + random() % 256), '\0');
    for (char& byte : garbage) {
      do {
        byte = static_cast<char>(random() & 0xff);
      } while (byte == 'A' || byte == 'C');
    }
    count("garbage");
    note("sends " + std::to_string(garbage.size()) + " garbage bytes");
    return sendBytes(client, garbage) ? Outcome::kGoOn : Outcome::kClosed;
  }
  if (kind < 12) {
    const int how = static_cast<int>(random() % 8);
    if (how == 0) {
      count("oversized length, then close");
      note("declares 2 GiB and closes");
      disturbed();
      sendBytes(client, streamMessages::rawPacket("AAAA", 0x7fffff00, std::string(64, 'x')));
      return Outcome::kClosed;
    }
    if (how == 1) {
      count("negative length");
      note("declares a negative length");
      return sendBytes(client, streamMessages::rawPacket("CCCC", -8, "")) ? Outcome::kGoOn
                                                                          : Outcome::kClosed;
    }
    const auto length =
        static_cast<std::int32_t>(PacketReader::kMaxPayload + 1 + random() % (1u << 20));
    count("oversized length");
    note("declares and sends " + std::to_string(length) + " bytes");
    // The filler goes out from one fixed block: a megabyte allocated and freed now and then
    // would grow this process's heap and blur its resident size.
    if (!sendBytes(client, streamMessages::rawPacket("AAAA", length, ""))) return Outcome::kClosed;
    static const std::string filler(65536, 'x');
    for (std::int32_t left = length; left > 0; left -= static_cast<std::int32_t>(filler.size())) {
      const auto piece = std::min<std::size_t>(filler.size(), static_cast<std::size_t>(left));
      if (!sendBytes(client, filler.data(), piece)) return Outcome::kClosed;
    }
    return Outcome::kGoOn;
  }
  if (kind < 14) {
    count("zlib bomb");
    note("sends a zlib bomb");
    return sendBytes(client, bomb) ? Outcome::kGoOn : Outcome::kClosed;
  }
  if (kind < 16) {
    std::vector<int> actors(chaosFrames::kActors);
    for (int actor = 0; actor < chaosFrames::kActors; ++actor) actors[actor] = actor;
    std::shuffle(actors.begin(), actors.end(), random);
    actors.resize(1 + random() % 5);
    std::sort(actors.begin(), actors.end());
    listed = actors;
    headerSent.fill(false);
    count("new actor list");
    note("sends a list of " + std::to_string(listed.size()) + " actors");
    disturbed();
    return sendList(client) ? Outcome::kGoOn : Outcome::kClosed;
  }
  if (kind < 18) {
    const int actor = listed[random() % listed.size()];
    int& variant = variants[static_cast<std::size_t>(actor)];
    variant = (variant + 1 + static_cast<int>(random() % 2)) % chaosFrames::kVariants;
    count("changed header");
    note("changes the skeleton of actor " + std::to_string(actor) + " to " +
         std::to_string(variant));
    disturbed();
    return sendHeader(client, actor) ? Outcome::kGoOn : Outcome::kClosed;
  }
  if (kind < 21) {
    compression = static_cast<PacketCodec::Compression>(random() % 3);
    count("framing switch");
    note("switches to framing " + std::to_string(static_cast<int>(compression)));
    return Outcome::kGoOn;
  }
  if (kind < 23) {
    splitting = !splitting;
    count("split packets");
    note(splitting ? "splits packets at random bytes" : "sends packets whole");
    return Outcome::kGoOn;
  }
  framesPerSecond = 60 + static_cast<int>(random() % 421);
  count("rate change");
  note("streams at " + std::to_string(framesPerSecond) + " frames/s");
  return Outcome::kGoOn;
}

bool ChaosServer::sendFrames(testSockets::Handle client) {
  std::string bytes;
  std::optional<FirstFrame> first;
  for (int actor : listed) {
    const std::size_t a = static_cast<std::size_t>(actor);
    const std::int64_t frame = newest[a] + 1;
    bytes += packetOf(streamMessages::frame(chaosFrames::tagOf(actor),
                                            chaosFrames::frameValues(actor, variants[a], frame)));
    if (!headerSent[a]) count("frame before its header");
    if (firstFramePending && headerSent[a] && !first) {
      first = FirstFrame{connectionCount, Clock::now(), actor, frame};
    }
  }
  // Published before the bytes leave, so that the client never shows a frame newer than this.
  for (int actor : listed) ++newest[static_cast<std::size_t>(actor)];
  frames += listed.size();
  if (first) {
    std::lock_guard<std::mutex> lock(ledgerMutex);
    first->connection = connectionCount;
    firstFrame = first;
    firstFramePending = false;
  }
  return sendBytes(client, bytes);
}

bool ChaosServer::sendBytes(testSockets::Handle client, const std::string& bytes) {
  return sendBytes(client, bytes.data(), bytes.size());
}

bool ChaosServer::sendBytes(testSockets::Handle client, const char* bytes, std::size_t size) {
  std::size_t sent = 0;
  while (sent < size) {
    std::size_t piece = size - sent;
    if (splitting) piece = std::min<std::size_t>(piece, 1 + random() % 700);
    const long long done = testSockets::send(client, bytes + sent, piece);
    if (done <= 0) return false;
    sent += static_cast<std::size_t>(done);
  }
  return true;
}

bool ChaosServer::sendList(testSockets::Handle client) {
  std::vector<std::pair<std::uint32_t, std::string>> actors;
  for (int actor : listed)
    actors.emplace_back(chaosFrames::tagOf(actor), "actor" + std::to_string(actor));
  // The map's order on the wire is not the slot order: list them shuffled.
  std::shuffle(actors.begin(), actors.end(), random);
  {
    std::lock_guard<std::mutex> lock(ledgerMutex);
    if (lists.empty() || lists.back() != listed) lists.push_back(listed);
    while (lists.size() > kListsKept) lists.pop_front();
  }
  return sendBytes(client, packetOf(streamMessages::actorList(actors)));
}

bool ChaosServer::sendHeader(testSockets::Handle client, int actor) {
  const std::size_t a = static_cast<std::size_t>(actor);
  headerSent[a] = true;
  return sendBytes(client,
                   packetOf(streamMessages::header(chaosFrames::tagOf(actor),
                                                   chaosFrames::skeleton(actor, variants[a]))));
}

std::string ChaosServer::packetOf(const BrexPlugs::BREX_PLUGIN_MESSAGE& message) const {
  return streamMessages::packet(message, compression);
}

bool ChaosServer::pause(Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(pauseMutex);
  return !pauseSignal.wait_until(lock, deadline, [this] { return stopping.load(); });
}

void ChaosServer::note(const std::string& event) {
  std::lock_guard<std::mutex> lock(ledgerMutex);
  std::ostringstream line;
  line.setf(std::ios::fixed);
  line.precision(3);
  line << seconds(Clock::now() - started) << " s: " << event;
  events.push_back(line.str());
  while (events.size() > kEventsKept) events.pop_front();
}

void ChaosServer::disturbed() {
  std::lock_guard<std::mutex> lock(ledgerMutex);
  disturbance = Clock::now();
}

void ChaosServer::count(const std::string& fault) {
  std::lock_guard<std::mutex> lock(ledgerMutex);
  ++faultCounts[fault];
}

void ChaosServer::closeListener() {
  if (listener == testSockets::kInvalid) return;
  testSockets::close(listener);
  listener = testSockets::kInvalid;
}
