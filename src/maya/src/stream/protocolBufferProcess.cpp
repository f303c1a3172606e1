#include "stream/protocolBufferProcess.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "BREX_PLUG_MESSAGE.pb.h"
#include "stream/PacketCodec.h"
#include "stream/PacketReader.h"
#include "stream/RedialSocket.h"
#include "stream/SocketClient.h"
#include "stream/StreamStore.h"

namespace {

// The wait before the first dial after a connection ended; each failed dial, and each
// connection that ends before a packet came, doubles it up to the longest.
constexpr std::chrono::milliseconds kFirstRedial(250);
constexpr std::chrono::milliseconds kLongestRedial(4000);
// How long the destructor gives a running thread to leave its loop.
constexpr std::chrono::milliseconds kUnloadWait(500);
// How long the receive thread holds back for readers waiting on the data lock; only a reader
// that is not scheduled at all takes that long.
constexpr std::chrono::milliseconds kReaderTurn(10);
// Frame arrival times kept for the rate: a second's worth at five actors of 800 frames/s.
constexpr std::size_t kArrivals = 4096;
constexpr std::chrono::seconds kRateWindow(1);

using Clock = std::chrono::steady_clock;

}  // namespace

struct protocolBufferProcess::Receiver : StreamListener {
  // Counts a reader of the stores in and out, so that the receive thread can let it go first.
  class Turn {
   public:
    explicit Turn(Receiver& owner) : receiver(owner) { ++receiver.readersArrived; }
    ~Turn() {
      ++receiver.readersLeft;
      { std::lock_guard<std::mutex> lock(receiver.turnMutex); }
      receiver.turnSignal.notify_all();
    }
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

   private:
    Receiver& receiver;
  };

  explicit Receiver(int redialSpeedUp)
      : store([this](std::uint32_t actorTag) { pendingQueries.push_back(actorTag); }),
        firstRedial(kFirstRedial / std::max(redialSpeedUp, 1)),
        longestRedial(kLongestRedial / std::max(redialSpeedUp, 1)),
        receiveBuffer(new char[PacketReader::kMaxPayload]) {
    pendingQueries.reserve(FrameLayout::kSlotCount);
    store.setListener(this);
  }

  // The store's events, on the receive thread with dataMutex held: counted, then passed on.
  void actorList(const std::vector<StreamActor>& actors) override;
  void header(std::uint32_t actorTag, int slot, const std::string& bvhText,
              int channelCount) override;
  void frame(std::uint32_t actorTag, int slot, const float* values, int count) override;

  // dataMutex held.
  void resetCounters();
  StreamStatus snapshot() const;

  // Receive thread. Reads and handles packets until the connection ends or a stop is asked;
  // true when at least one packet came.
  bool readPackets();
  // Receive thread. Releases the ended connection and dials its address again after delay,
  // doubling delay after each failure, until connected (true) or asked to stop (false).
  bool redial(std::chrono::milliseconds& delay);
  // Receive thread. True when a stop is asked within delay.
  bool waitForStop(std::chrono::milliseconds delay);
  void sendQueries();
  void sendCommand(BrexPlugs::COMMAND::CommandType commandType, std::uint32_t actorTag);
  void letWaitingReadersIn();
  // Any thread: asks the receive thread to stop and wakes it from any wait.
  void requestStop();

  // Replaced by the receive thread while it runs, under socketMutex, which requestStop takes
  // to shut it down; otherwise the caller's (thread stopped).
  std::unique_ptr<Socket> socket;
  std::mutex socketMutex;
  std::mutex dataMutex;
  // Guarded by dataMutex.
  StreamStore store;
  std::uint64_t packets = 0;
  std::condition_variable packetArrived;
  StreamListener* listener = nullptr;
  // The status, guarded by dataMutex too.
  StreamStatus::State state = StreamStatus::State::kDisconnected;
  std::string host;
  std::uint16_t port = 0;
  // Whether a connection that ends is dialled again: from a successful connect to the close.
  bool redialing = false;
  const std::chrono::milliseconds firstRedial;
  const std::chrono::milliseconds longestRedial;
  int actors = 0;
  std::uint64_t frames = 0;
  std::uint64_t reconnects = 0;
  // The last min(frames, kArrivals) arrival times, a ring ending before nextArrival.
  std::array<Clock::time_point, kArrivals> arrivals{};
  std::size_t nextArrival = 0;

  // The receive thread's own.
  PacketReader reader;
  std::unique_ptr<char[]> receiveBuffer;
  std::vector<std::uint32_t> pendingQueries;

  // Packets handled and wakeWaiters calls (guarded by handledMutex), and the signal that wakes
  // waitForNewPacket.
  std::uint64_t handled = 0;
  std::uint64_t wakeCalls = 0;
  std::mutex handledMutex;
  std::condition_variable handledSignal;

  std::atomic<bool> running{false};
  std::atomic<bool> stopRequested{false};
  std::mutex wakeMutex;
  std::condition_variable wakeSignal;

  std::atomic<std::uint64_t> readersArrived{0};
  std::atomic<std::uint64_t> readersLeft{0};
  std::mutex turnMutex;
  std::condition_variable turnSignal;
};

protocolBufferProcess& protocolBufferProcess::instance() {
  static protocolBufferProcess process;
  return process;
}

protocolBufferProcess::protocolBufferProcess(int redialSpeedUp)
    : receiver(std::make_shared<Receiver>(redialSpeedUp)) {}

protocolBufferProcess::~protocolBufferProcess() {
  if (!receiveThread.joinable()) return;
  // The plug-in stops the thread before it is unloaded; this runs at static destruction, where
  // on Windows the loader lock is held and a thread cannot end, so a join would never return.
  // The thread owns the receiver too and frees it when it ends.
  try {
    receiver->requestStop();
    std::unique_lock<std::mutex> lock(receiver->wakeMutex);
    receiver->wakeSignal.wait_for(lock, kUnloadWait, [this] { return !receiver->running; });
  } catch (...) {
  }
  receiveThread.detach();
}

bool protocolBufferProcess::connectToServer(const std::string& host, std::uint16_t port) {
  if (receiver->socket) return true;
  std::unique_ptr<SocketClient> client(new SocketClient(host, port));
  const bool connected = client->isConnected();
  {
    std::lock_guard<std::mutex> lock(receiver->socketMutex);
    receiver->socket = std::move(client);
  }
  std::lock_guard<std::mutex> lock(receiver->dataMutex);
  receiver->host = host;
  receiver->port = port;
  receiver->redialing = connected;
  receiver->resetCounters();
  receiver->state =
      connected ? StreamStatus::State::kConnecting : StreamStatus::State::kDisconnected;
  if (connected && receiver->listener != nullptr) receiver->listener->connected();
  return connected;
}

void protocolBufferProcess::closeSocket() {
  {
    std::lock_guard<std::mutex> lock(receiver->dataMutex);
    receiver->state = StreamStatus::State::kDisconnected;
    receiver->redialing = false;
  }
  std::unique_ptr<Socket> closing;
  {
    std::lock_guard<std::mutex> lock(receiver->socketMutex);
    closing = std::move(receiver->socket);
  }
  if (closing) closing->close();
}

void protocolBufferProcess::startReceiveThread() {
  if (receiveThread.joinable()) return;
  receiver->stopRequested = false;
  receiveThread = std::thread(receiveLoop, receiver);
}

void protocolBufferProcess::stopReceiveThread() {
  receiver->stopRequested = true;
  if (receiveThread.joinable()) {
    receiver->requestStop();
    receiveThread.join();
  }
  std::lock_guard<std::mutex> lock(receiver->dataMutex);
  receiver->state = StreamStatus::State::kDisconnected;
}

void protocolBufferProcess::copyFrame(void* destination, std::uint32_t size, int slot) {
  Receiver::Turn turn(*receiver);
  std::lock_guard<std::mutex> lock(receiver->dataMutex);
  receiver->store.copyFrame(destination, size, slot);
}

void protocolBufferProcess::copyFrames(void* destination, std::uint32_t size) {
  Receiver::Turn turn(*receiver);
  std::lock_guard<std::mutex> lock(receiver->dataMutex);
  receiver->store.copyFrames(destination, size);
}

std::vector<std::string> protocolBufferProcess::copyHeaderTexts() {
  Receiver::Turn turn(*receiver);
  std::lock_guard<std::mutex> lock(receiver->dataMutex);
  return receiver->store.headerTexts();
}

std::vector<StreamHeader> protocolBufferProcess::copyHeaders() {
  Receiver::Turn turn(*receiver);
  std::lock_guard<std::mutex> lock(receiver->dataMutex);
  return receiver->store.headers();
}

StreamStatus protocolBufferProcess::status() {
  Receiver::Turn turn(*receiver);
  std::lock_guard<std::mutex> lock(receiver->dataMutex);
  return receiver->snapshot();
}

void protocolBufferProcess::setListener(StreamListener* listener) {
  Receiver::Turn turn(*receiver);
  std::lock_guard<std::mutex> lock(receiver->dataMutex);
  receiver->listener = listener;
  if (listener != nullptr) receiver->store.replay(*listener);
}

std::uint64_t protocolBufferProcess::waitForNewPacket(std::uint64_t seen,
                                                      std::chrono::milliseconds timeout) {
  return waitForNewPacketUntil(seen, Clock::now() + timeout);
}

std::uint64_t protocolBufferProcess::waitForNewPacketUntil(std::uint64_t seen,
                                                           Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(receiver->handledMutex);
  const std::uint64_t wakeCalls = receiver->wakeCalls;
  receiver->handledSignal.wait_until(lock, deadline, [&] {
    return receiver->handled != seen || receiver->wakeCalls != wakeCalls;
  });
  return receiver->handled;
}

void protocolBufferProcess::wakeWaiters() {
  {
    std::lock_guard<std::mutex> lock(receiver->handledMutex);
    ++receiver->wakeCalls;
  }
  receiver->handledSignal.notify_all();
}

std::uint64_t protocolBufferProcess::packetCount() {
  std::lock_guard<std::mutex> lock(receiver->dataMutex);
  return receiver->packets;
}

bool protocolBufferProcess::waitForPackets(std::uint64_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(receiver->dataMutex);
  return receiver->packetArrived.wait_for(lock, timeout,
                                          [&] { return receiver->packets >= count; });
}

void protocolBufferProcess::receiveLoop(std::shared_ptr<Receiver> receiver) {
  Receiver& r = *receiver;
  r.running = true;
  // An exception leaving this thread would end the host: nothing may escape.
  try {
    std::chrono::milliseconds delay = r.firstRedial;
    while (!r.stopRequested) {
      // Only a connection that delivered starts the back-off afresh: a peer that accepts and
      // closes at once is dialled ever more slowly.
      if (r.readPackets()) delay = r.firstRedial;
      if (r.stopRequested || !r.redial(delay)) break;
    }
  } catch (...) {
  }
  {
    std::lock_guard<std::mutex> lock(r.wakeMutex);
    r.running = false;
  }
  r.wakeSignal.notify_all();
}

bool protocolBufferProcess::Receiver::readPackets() {
  // A new connection, or one whose read was given up: no buffered byte is worth keeping.
  reader.reset();
  Socket* client = socket.get();
  if (client == nullptr) return false;
  const PacketReader::ReceiveFunction receive = [this, client](char* buffer, int size) {
    const int received = client->receive(buffer, size);
    return received == -2 && stopRequested ? -1 : received;
  };
  bool delivered = false;
  std::uint32_t magic = 0;
  int length = 0;
  // Ends when the peer closes, the connection fails, or a stop shuts the socket down.
  while (!stopRequested && reader.next(receive, receiveBuffer.get(), magic, length)) {
    delivered = true;
    {
      std::lock_guard<std::mutex> lock(dataMutex);
      try {
        store.handleMessage(receiveBuffer.get(), length, magic);
      } catch (...) {
        // Only a failed allocation can land here; it costs this message, not the connection.
      }
      ++packets;
      packetArrived.notify_all();
    }
    {
      std::lock_guard<std::mutex> lock(handledMutex);
      ++handled;
    }
    handledSignal.notify_all();
    sendQueries();
    letWaitingReadersIn();
  }
  return delivered;
}

bool protocolBufferProcess::Receiver::redial(std::chrono::milliseconds& delay) {
  std::string address;
  std::uint16_t at = 0;
  bool allowed = false;
  {
    std::lock_guard<std::mutex> lock(dataMutex);
    address = host;
    at = port;
    allowed = redialing;
    state = allowed ? StreamStatus::State::kReconnecting : StreamStatus::State::kDisconnected;
  }
  std::unique_ptr<Socket> ended;
  {
    std::lock_guard<std::mutex> lock(socketMutex);
    ended = std::move(socket);
  }
  if (ended) ended->close();
  ended.reset();
  if (!allowed) {
    // No connect succeeded before this thread started: nothing to dial.
    waitForStop(std::chrono::milliseconds::max());
    return false;
  }
  while (!waitForStop(delay)) {
    delay = std::min(delay * 2, longestRedial);
    std::unique_ptr<RedialSocket> next;
    try {
      next.reset(new RedialSocket);
    } catch (...) {
      continue;
    }
    if (!next->connect(address, at, stopRequested)) continue;
    {
      // A stop that came after the check above has shut down no socket: this one must not stay.
      std::lock_guard<std::mutex> lock(socketMutex);
      if (stopRequested) return false;
      socket = std::move(next);
    }
    std::lock_guard<std::mutex> lock(dataMutex);
    ++reconnects;
    state = StreamStatus::State::kConnecting;
    if (listener != nullptr) listener->connected();
    return true;
  }
  return false;
}

bool protocolBufferProcess::Receiver::waitForStop(std::chrono::milliseconds delay) {
  std::unique_lock<std::mutex> lock(wakeMutex);
  const auto stopAsked = [this] { return stopRequested.load(); };
  if (delay == std::chrono::milliseconds::max()) {
    wakeSignal.wait(lock, stopAsked);
    return true;
  }
  return wakeSignal.wait_for(lock, delay, stopAsked);
}

void protocolBufferProcess::Receiver::actorList(const std::vector<StreamActor>& list) {
  // The status counts the actors shown live.
  actors = std::min(static_cast<int>(list.size()), FrameLayout::kSlotCount);
  state = StreamStatus::State::kConnected;
  if (listener != nullptr) listener->actorList(list);
}

void protocolBufferProcess::Receiver::header(std::uint32_t actorTag, int slot,
                                             const std::string& bvhText, int channelCount) {
  if (listener != nullptr) listener->header(actorTag, slot, bvhText, channelCount);
}

void protocolBufferProcess::Receiver::frame(std::uint32_t actorTag, int slot, const float* values,
                                            int count) {
  if (slot < FrameLayout::kSlotCount) {
    ++frames;
    arrivals[nextArrival] = Clock::now();
    nextArrival = (nextArrival + 1) % kArrivals;
  }
  if (listener != nullptr) listener->frame(actorTag, slot, values, count);
}

void protocolBufferProcess::Receiver::resetCounters() {
  actors = 0;
  frames = 0;
  reconnects = 0;
  nextArrival = 0;
}

StreamStatus protocolBufferProcess::Receiver::snapshot() const {
  StreamStatus status;
  status.state = state;
  status.host = host;
  status.port = port;
  status.actors = actors;
  status.frames = frames;
  status.reconnects = reconnects;
  if (frames == 0) return status;
  const Clock::time_point now = Clock::now();
  const std::size_t kept = static_cast<std::size_t>(std::min<std::uint64_t>(frames, kArrivals));
  const Clock::time_point last = arrivals[(nextArrival + kArrivals - 1) % kArrivals];
  status.lastFrameMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count();
  // Arrival times rise along the ring: count back from the newest.
  std::size_t recent = 0;
  while (recent < kept &&
         now - arrivals[(nextArrival + kArrivals - 1 - recent) % kArrivals] < kRateWindow) {
    ++recent;
  }
  if (recent < kArrivals) {
    status.framesPerSecond = static_cast<double>(recent);
  } else {
    // More arrivals in the window than the ring holds: their own span gives the rate.
    const double span = std::chrono::duration<double>(now - arrivals[nextArrival]).count();
    status.framesPerSecond = span > 0.0 ? static_cast<double>(kArrivals) / span : 0.0;
  }
  return status;
}

void protocolBufferProcess::Receiver::sendQueries() {
  // Sent with the data lock released: a peer that stops reading blocks the send, and must not
  // hold up copyFrame with it.
  for (std::uint32_t actorTag : pendingQueries) {
    if (stopRequested) break;
    sendCommand(BrexPlugs::COMMAND::Command_Query_BVH_Header, actorTag);
  }
  pendingQueries.clear();
}

void protocolBufferProcess::Receiver::sendCommand(BrexPlugs::COMMAND::CommandType commandType,
                                                  std::uint32_t actorTag) {
  if (!socket || commandType != BrexPlugs::COMMAND::Command_Query_BVH_Header) return;
  char block[PacketCodec::kQueryBlockSize];
  const int size = PacketCodec::encodeQuery(actorTag, block);
  if (size > 0) socket->send(block, size);
}

void protocolBufferProcess::Receiver::letWaitingReadersIn() {
  // The mutex is not fair: taken again at once for the next message, it would keep a waiting
  // copyFrame out for as long as messages keep coming.
  const std::uint64_t arrived = readersArrived;
  if (readersLeft >= arrived) return;
  std::unique_lock<std::mutex> lock(turnMutex);
  turnSignal.wait_for(lock, kReaderTurn, [&] { return readersLeft >= arrived; });
}

void protocolBufferProcess::Receiver::requestStop() {
  stopRequested = true;
  {
    // A receive or send blocked on the socket would hold the thread up to its 3 s time-out.
    std::lock_guard<std::mutex> lock(socketMutex);
    if (socket) socket->shutdown();
  }
  { std::lock_guard<std::mutex> lock(wakeMutex); }
  wakeSignal.notify_all();
}
