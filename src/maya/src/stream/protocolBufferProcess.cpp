#include "stream/protocolBufferProcess.h"

#include <algorithm>
#include <cstring>
#include <locale>

namespace {

// How long the loop rests before trying again with no socket or a closed connection.
constexpr std::chrono::milliseconds kRetryInterval(100);

}  // namespace

protocolBufferProcess& protocolBufferProcess::instance() {
  static protocolBufferProcess process;
  return process;
}

protocolBufferProcess::protocolBufferProcess()
    : receiveBuffer(new char[PacketReader::kMaxPayload]) {
  textStream.imbue(std::locale::classic());
  channelNames = {{0, "Xposition"}, {1, "Yposition"}, {2, "Zposition"},
                  {3, "Xrotation"}, {4, "Yrotation"}, {5, "Zrotation"}};
}

protocolBufferProcess::~protocolBufferProcess() {
  stopReceiveThread();
  closeSocket();
}

bool protocolBufferProcess::connectToServer(const std::string& host, std::uint16_t port) {
  if (socket) return true;
  socket.reset(new SocketClient(host, port));
  return socket->isConnected();
}

void protocolBufferProcess::closeSocket() {
  if (!socket) return;
  socket->close();
  socket.reset();
}

void protocolBufferProcess::startReceiveThread() {
  if (receiveThread.joinable()) return;
  stopRequested = false;
  receiveThread = std::thread(receiveLoop, this);
}

void protocolBufferProcess::stopReceiveThread() {
  stopRequested = true;
  if (!receiveThread.joinable()) return;
  // A receive blocked on the socket would hold us up to its 3 s time-out.
  if (socket) socket->shutdownRead();
  { std::lock_guard<std::mutex> lock(wakeMutex); }
  wakeSignal.notify_all();
  receiveThread.join();
}

void protocolBufferProcess::copyFrame(void* destination, std::uint32_t size, int slot) {
  if (destination == nullptr || size < kSlotBytes || slot < 0 || slot >= kSlotCount) return;
  std::lock_guard<std::mutex> lock(dataMutex);
  std::memcpy(destination, frameValues[slot], kSlotBytes);
}

std::vector<std::string> protocolBufferProcess::copyHeaderTexts() {
  std::lock_guard<std::mutex> lock(dataMutex);
  return headerTexts;
}

std::uint64_t protocolBufferProcess::packetCount() {
  std::lock_guard<std::mutex> lock(dataMutex);
  return packets;
}

bool protocolBufferProcess::waitForPackets(std::uint64_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(dataMutex);
  return packetArrived.wait_for(lock, timeout, [&] { return packets >= count; });
}

void protocolBufferProcess::receiveLoop(protocolBufferProcess* process) {
  process->running = true;
  // An exception leaving this thread would end the host: nothing may escape.
  try {
    while (!process->stopRequested) process->readPackets();
  } catch (...) {
  }
  process->running = false;
}

void protocolBufferProcess::readPackets() {
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
    std::lock_guard<std::mutex> lock(dataMutex);
    try {
      handleMessage(receiveBuffer.get(), length, magic);
    } catch (...) {
      // Only a failed allocation can land here; it costs this message, not the connection.
    }
    ++packets;
    packetArrived.notify_all();
  }
}

void protocolBufferProcess::waitBeforeRetry() {
  std::unique_lock<std::mutex> lock(wakeMutex);
  wakeSignal.wait_for(lock, kRetryInterval, [this] { return stopRequested.load(); });
}

void protocolBufferProcess::handleMessage(const char* payload, int length, std::uint32_t magic) {
  if (!codec.decode(magic, payload, length, message)) return;
  switch (message.message()) {
    case BrexPlugs::BREX_PLUGIN_MESSAGE::COMMAND:
      if (message.command().cmdtype() == BrexPlugs::COMMAND::Notify_ActorsList) handleActorList();
      break;
    case BrexPlugs::BREX_PLUGIN_MESSAGE::HEADER_DATA:
      handleHeader();
      break;
    case BrexPlugs::BREX_PLUGIN_MESSAGE::FRAME_DATA:
      handleFrame();
      break;
  }
}

void protocolBufferProcess::handleActorList() {
  actorNames = message.command().actorslist().map();
  actorSlots.clear();
  headerTexts.clear();
  std::fill(std::begin(mappedChannels), std::end(mappedChannels), 0);
  // Actors beyond the fixed slots get none: their headers and frames are ignored.
  int slot = 0;
  for (const auto& actor : actorNames) {
    if (slot == kSlotCount) break;
    actorSlots[actor.first] = slot++;
  }
  for (const auto& actor : actorNames) {
    if (actorSlots.count(actor.first) != 0) {
      sendCommand(BrexPlugs::COMMAND::Command_Query_BVH_Header, actor.first);
    }
  }
}

void protocolBufferProcess::handleHeader() {
  const BrexPlugs::BVH_HEADER& header = message.header();
  if (!header.has_actortag()) return;
  const auto found = actorSlots.find(header.actortag());
  if (found == actorSlots.end()) return;
  const int slot = found->second;

  textStream.str(std::string());
  textStream.clear();
  rootPending = true;
  writeJointText(header.rootjoin(), slot);
  textStream << "MOTION\n"
             << "Frames : 0\n"
             << "Frame Time : 0.01\n";

  std::fill(std::begin(frameValues[slot]), std::end(frameValues[slot]), 0.0f);
  std::fill(std::begin(channelTargets[slot]), std::end(channelTargets[slot]), 0);
  int record = 0;
  int channelIndex = 0;
  mapJointChannels(header.rootjoin(), slot, record, channelIndex);
  mappedChannels[slot] = channelIndex;

  headerTexts.push_back(textStream.str());
}

void protocolBufferProcess::handleFrame() {
  const BrexPlugs::BVH_FRAME& frame = message.frame();
  if (actorNames.empty() || !frame.has_actortag()) return;
  if (actorNames.find(frame.actortag()) == actorNames.end()) return;
  const auto found = actorSlots.find(frame.actortag());
  if (found == actorSlots.end()) return;
  const int slot = found->second;
  // Values without a mapped target (none before the slot's header) change nothing.
  const int count = std::min(frame.motiondata_size(), mappedChannels[slot]);
  for (int i = 0; i < count; ++i) {
    const int target = channelTargets[slot][i];
    frameValues[target / kSlotFloats][target % kSlotFloats] = frame.motiondata(i);
  }
}

void protocolBufferProcess::sendCommand(BrexPlugs::COMMAND::CommandType commandType,
                                        std::uint32_t actorTag) {
  if (!socket || commandType != BrexPlugs::COMMAND::Command_Query_BVH_Header) return;
  char block[PacketCodec::kQueryBlockSize];
  const int size = PacketCodec::encodeQuery(actorTag, block);
  if (size > 0) socket->send(block, size);
}

void protocolBufferProcess::mapJointChannels(const BrexPlugs::BVH_JOIN& joint, int slot,
                                             int& record, int& channelIndex) {
  // Joints and channels beyond the slot's room get no record and no target. Records and
  // frame values both follow the tree in pre-order, so what is mapped is a prefix of a frame.
  if (record >= kJointRecords) return;
  const int position = record * kRecordFloats;
  frameValues[slot][position] = joint.offset().x();
  frameValues[slot][position + 1] = joint.offset().y();
  frameValues[slot][position + 2] = joint.offset().z();
  for (int channel : joint.channels()) {
    if (channelIndex >= kSlotFloats) break;
    channelTargets[slot][channelIndex] = slot * kSlotFloats + position + channel;
    ++channelIndex;
  }
  ++record;
  for (const BrexPlugs::BVH_JOIN& child : joint.childjoin()) {
    mapJointChannels(child, slot, record, channelIndex);
  }
}

void protocolBufferProcess::writeJointText(const BrexPlugs::BVH_JOIN& joint, int slot) {
  if (rootPending) {
    rotationFallback = {5, 3, 4};
    textStream << "HIERARCHY\n"
               << "ROOT " << joint.joinname() << slot << "\n";
    rootPending = false;
  } else {
    textStream << "JOINT " << joint.joinname() << slot << "\n";
  }
  textStream << "{\n";
  textStream << "OFFSET " << joint.offset().x() << " " << joint.offset().y() << " "
             << joint.offset().z() << "\n";
  writeChannelsLine(joint);
  int closingBraces = 1;
  if (joint.has_endsite()) {
    textStream << "End Site\n"
               << "{\n"
               << "OFFSET " << joint.endsite().x() << " " << joint.endsite().y() << " "
               << joint.endsite().z() << "\n";
    ++closingBraces;
  }
  for (const BrexPlugs::BVH_JOIN& child : joint.childjoin()) writeJointText(child, slot);
  for (int i = 0; i < closingBraces; ++i) textStream << "}\n";
}

void protocolBufferProcess::writeChannelsLine(const BrexPlugs::BVH_JOIN& joint) {
  const int count = joint.channels_size();
  std::vector<int> written;
  if (count == 3 || count == 6) {
    written.assign(joint.channels().begin(), joint.channels().end());
    rotationFallback.assign(written.end() - 3, written.end());
  } else {
    // A BVH reader takes only 3 or 6 channels. The text carries no motion, so the channel
    // list only decides the skeleton's rotation order: write the joint's own three rotations,
    // or else those of the joint written before it, which leaves that order as it was.
    for (int channel : joint.channels()) {
      const bool rotation = channel >= BrexPlugs::BVH_JOIN::Xrotation;
      if (rotation && std::find(written.begin(), written.end(), channel) == written.end()) {
        written.push_back(channel);
      }
    }
    if (written.size() != 3) written = rotationFallback;
  }
  textStream << "CHANNELS " << written.size() << " ";
  for (int channel : written) textStream << channelNames.at(channel) << " ";
  textStream << "\n";
}
