#include "stream/protocolBufferProcess.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "BREX_PLUG_MESSAGE.pb.h"
#include "stream/PacketCodec.h"
#include "stream/PacketReader.h"
#include "stream/SocketClient.h"
#include "stream/StreamStore.h"

namespace {

// How long the loop rests before trying again with no socket or a closed connection.
constexpr std::chrono::milliseconds kRetryInterval(100);
// How long the destructor gives a running thread to leave its loop.
constexpr std::chrono::milliseconds kUnloadWait(500);
// How long the receive thread holds back for readers waiting on the data lock; only a reader
// that is not scheduled at all takes that long.
constexpr std::chrono::milliseconds kReaderTurn(10);

}  // namespace

struct protocolBufferProcess::Receiver {
  // Counts a reader of the stores in and out, so that the receive thread can let it go first.
  class Turn {
   public:
    explicit Turn(Receiver& receiver) : receiver(receiver) { ++receiver.readersArrived; }
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

  Receiver()
      : store([this](std::uint32_t actorTag) { pendingQueries.push_back(actorTag); }),
        receiveBuffer(new char[PacketReader::kMaxPayload]) {
    pendingQueries.reserve(FrameLayout::kSlotCount);
  }

  void readPackets();
  void sendQueries();
  void sendCommand(BrexPlugs::COMMAND::CommandType commandType, std::uint32_t actorTag);
  void letWaitingReadersIn();
  void waitBeforeRetry();
  void requestStop();

  std::unique_ptr<SocketClient> socket;
  std::mutex dataMutex;
  // Guarded by dataMutex.
  StreamStore store;
  std::uint64_t packets = 0;
  std::condition_variable packetArrived;

  // The receive thread's own.
  PacketReader reader;
  std::unique_ptr<char[]> receiveBuffer;
  std::vector<std::uint32_t> pendingQueries;

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

protocolBufferProcess::protocolBufferProcess() : receiver(std::make_shared<Receiver>()) {}

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
  receiver->socket.reset(new SocketClient(host, port));
  return receiver->socket->isConnected();
}

void protocolBufferProcess::closeSocket() {
  if (!receiver->socket) return;
  receiver->socket->close();
  receiver->socket.reset();
}

void protocolBufferProcess::startReceiveThread() {
  if (receiveThread.joinable()) return;
  receiver->stopRequested = false;
  receiveThread = std::thread(receiveLoop, receiver);
}

void protocolBufferProcess::stopReceiveThread() {
  receiver->stopRequested = true;
  if (!receiveThread.joinable()) return;
  receiver->requestStop();
  receiveThread.join();
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
    while (!r.stopRequested) r.readPackets();
  } catch (...) {
  }
  {
    std::lock_guard<std::mutex> lock(r.wakeMutex);
    r.running = false;
  }
  r.wakeSignal.notify_all();
}

void protocolBufferProcess::Receiver::readPackets() {
  // A new connection, or one whose read was given up: no buffered byte is worth keeping.
  reader.reset();
  SocketClient* client = socket.get();
  if (client == nullptr) {
    waitBeforeRetry();
    return;
  }
  const PacketReader::ReceiveFunction receive = [this, client](char* buffer, int size) {
    const int received = client->receive(buffer, size);
    return received == -2 && stopRequested ? -1 : received;
  };
  std::uint32_t magic = 0;
  int length = 0;
  while (!stopRequested) {
    if (!reader.next(receive, receiveBuffer.get(), magic, length)) {
      // Closed or failed: every receive would now return at once.
      waitBeforeRetry();
      return;
    }
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
    sendQueries();
    letWaitingReadersIn();
  }
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

void protocolBufferProcess::Receiver::waitBeforeRetry() {
  std::unique_lock<std::mutex> lock(wakeMutex);
  wakeSignal.wait_for(lock, kRetryInterval, [this] { return stopRequested.load(); });
}

void protocolBufferProcess::Receiver::requestStop() {
  stopRequested = true;
  // A receive or send blocked on the socket would hold the thread up to its 3 s time-out.
  if (socket) socket->shutdown();
  { std::lock_guard<std::mutex> lock(wakeMutex); }
  wakeSignal.notify_all();
}
