#include "StreamSimulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>

#include "stream/PacketReader.h"

namespace {

using J = BrexPlugs::BVH_JOIN;

struct JointEntry {
  const char* name;
  int parent;
  float x, y, z;
};

// Parents come before their children: the table is in pre-order.
const JointEntry kHumanoid[] = {
    {"Hips", -1, 0, 95, 0},
    {"Spine", 0, 0, 8, 0},
    {"Spine1", 1, 0, 10, 0},
    {"Spine2", 2, 0, 10, 0},
    {"Neck", 3, 0, 14, 0},
    {"Head", 4, 0, 9, 0},
    {"LeftShoulder", 3, 4, 11, 0},
    {"LeftArm", 6, 12, 0, 0},
    {"LeftForeArm", 7, 27, 0, 0},
    {"LeftHand", 8, 25, 0, 0},
    {"LeftHandThumb1", 9, 2, 0, 3},
    {"LeftHandThumb2", 10, 3, 0, 1},
    {"LeftHandThumb3", 11, 2.5f, 0, 0.5f},
    {"LeftHandIndex1", 9, 9, 0, 2},
    {"LeftHandIndex2", 13, 4, 0, 0},
    {"LeftHandIndex3", 14, 2.5f, 0, 0},
    {"LeftHandIndex4", 15, 2, 0, 0},
    {"LeftHandMiddle1", 9, 9.5f, 0, 0.5f},
    {"LeftHandMiddle2", 17, 4.5f, 0, 0},
    {"LeftHandMiddle3", 18, 3, 0, 0},
    {"LeftHandMiddle4", 19, 2, 0, 0},
    {"LeftHandRing1", 9, 9, 0, -1},
    {"LeftHandRing2", 21, 4, 0, 0},
    {"LeftHandRing3", 22, 2.5f, 0, 0},
    {"LeftHandRing4", 23, 2, 0, 0},
    {"LeftHandPinky1", 9, 8, 0, -2.5f},
    {"LeftHandPinky2", 25, 3, 0, 0},
    {"LeftHandPinky3", 26, 2, 0, 0},
    {"LeftHandPinky4", 27, 1.5f, 0, 0},
    {"RightShoulder", 3, -4, 11, 0},
    {"RightArm", 29, -12, 0, 0},
    {"RightForeArm", 30, -27, 0, 0},
    {"RightHand", 31, -25, 0, 0},
    {"RightHandThumb1", 32, -2, 0, 3},
    {"RightHandThumb2", 33, -3, 0, 1},
    {"RightHandThumb3", 34, -2.5f, 0, 0.5f},
    {"RightHandIndex1", 32, -9, 0, 2},
    {"RightHandIndex2", 36, -4, 0, 0},
    {"RightHandIndex3", 37, -2.5f, 0, 0},
    {"RightHandIndex4", 38, -2, 0, 0},
    {"RightHandMiddle1", 32, -9.5f, 0, 0.5f},
    {"RightHandMiddle2", 40, -4.5f, 0, 0},
    {"RightHandMiddle3", 41, -3, 0, 0},
    {"RightHandMiddle4", 42, -2, 0, 0},
    {"RightHandRing1", 32, -9, 0, -1},
    {"RightHandRing2", 44, -4, 0, 0},
    {"RightHandRing3", 45, -2.5f, 0, 0},
    {"RightHandRing4", 46, -2, 0, 0},
    {"RightHandPinky1", 32, -8, 0, -2.5f},
    {"RightHandPinky2", 48, -3, 0, 0},
    {"RightHandPinky3", 49, -2, 0, 0},
    {"RightHandPinky4", 50, -1.5f, 0, 0},
    {"LeftUpLeg", 0, 9, -5, 0},
    {"LeftLeg", 52, 0, -42, 0},
    {"LeftFoot", 53, 0, -40, 0},
    {"LeftToeBase", 54, 0, -6, 12},
    {"RightUpLeg", 0, -9, -5, 0},
    {"RightLeg", 56, 0, -42, 0},
    {"RightFoot", 57, 0, -40, 0},
    {"RightToeBase", 58, 0, -6, 12},
};
static_assert(sizeof(kHumanoid) / sizeof(kHumanoid[0]) == StreamSimulator::kJoints,
              "the synthetic skeleton has kJoints joints");

void setVector(BrexPlugs::BVH_VECTOR* vector, float x, float y, float z) {
  vector->set_x(x);
  vector->set_y(y);
  vector->set_z(z);
}

J makeJoint(int index) {
  const JointEntry& entry = kHumanoid[index];
  J joint;
  joint.set_joinname(entry.name);
  setVector(joint.mutable_offset(), entry.x, entry.y, entry.z);
  if (index == 0) {
    for (J::Channel channel : {J::Xposition, J::Yposition, J::Zposition})
      joint.add_channels(channel);
  }
  for (J::Channel channel : {J::Zrotation, J::Xrotation, J::Yrotation}) joint.add_channels(channel);
  for (int child = index + 1; child < StreamSimulator::kJoints; ++child) {
    if (kHumanoid[child].parent == index) *joint.add_childjoin() = makeJoint(child);
  }
  if (joint.childjoin_size() == 0)
    setVector(joint.mutable_endsite(), entry.x / 2, entry.y / 2, entry.z / 2);
  return joint;
}

std::string packetOf(const BrexPlugs::BREX_PLUGIN_MESSAGE& message,
                     PacketCodec::Compression compression) {
  std::string bytes;
  PacketCodec::encodePacket(message, compression, bytes);
  return bytes;
}

bool sendAll(int handle, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t result = ::send(handle, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) return false;
    sent += static_cast<std::size_t>(result);
  }
  return true;
}

}  // namespace

StreamSimulator::StreamSimulator(Options options) : options(options) {}

StreamSimulator::~StreamSimulator() { stop(); }

BrexPlugs::BVH_JOIN StreamSimulator::skeleton() { return makeJoint(0); }

void StreamSimulator::motion(double seconds, int actor, std::vector<float>& values) {
  values.resize(kChannels);
  const double phase = seconds * 2.0 * M_PI * 0.5 + actor;
  values[0] = static_cast<float>(20.0 * std::sin(phase) + 50.0 * actor);
  values[1] = static_cast<float>(95.0 + 2.0 * std::sin(2.0 * phase));
  values[2] = static_cast<float>(20.0 * std::cos(phase));
  for (int i = 3; i < kChannels; ++i) {
    values[i] = static_cast<float>(15.0 * std::sin(phase + 0.1 * i));
  }
}

bool StreamSimulator::start(std::uint16_t port) {
  stop();
  listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener < 0) return false;
  const int reuse = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof(address);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listener, 4) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener);
    listener = -1;
    return false;
  }
  listenPort = ntohs(address.sin_port);
  stopRequested = false;
  thread = std::thread(&StreamSimulator::serve, this);
  return true;
}

void StreamSimulator::stop() {
  stopRequested = true;
  if (thread.joinable()) thread.join();
  if (listener >= 0) ::close(listener);
  listener = -1;
}

void StreamSimulator::serve() {
  while (!stopRequested) {
    pollfd waiting{listener, POLLIN, 0};
    if (::poll(&waiting, 1, 50) <= 0) continue;
    const int client = ::accept(listener, nullptr, nullptr);
    if (client < 0) continue;
    const int noDelay = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof(noDelay));
    timeval timeout{};
    timeout.tv_sec = 1;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    serveClient(client);
    ::close(client);
  }
}

void StreamSimulator::serveClient(int client) {
  using Clock = std::chrono::steady_clock;
  BrexPlugs::BREX_PLUGIN_MESSAGE list;
  list.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::COMMAND);
  list.mutable_command()->set_cmdtype(BrexPlugs::COMMAND::Notify_ActorsList);
  auto& actors = *list.mutable_command()->mutable_actorslist()->mutable_map();
  for (int actor = 0; actor < options.actors; ++actor) {
    actors[actorTag(actor)] = "Actor" + std::to_string(actor + 1);
  }
  if (!sendAll(client, packetOf(list, options.compression))) return;

  BrexPlugs::BREX_PLUGIN_MESSAGE header;
  header.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::HEADER_DATA);
  *header.mutable_header()->mutable_rootjoin() = skeleton();

  PacketReader reader;
  PacketCodec codec;
  std::unique_ptr<char[]> payload(new char[PacketReader::kMaxPayload]);
  BrexPlugs::BREX_PLUGIN_MESSAGE query;
  BrexPlugs::BREX_PLUGIN_MESSAGE frame;
  frame.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::FRAME_DATA);
  std::vector<float> values;
  std::uint32_t magic = 0;
  int length = 0;
  const PacketReader::ReceiveFunction receive = [client](char* buffer, int size) {
    ssize_t result;
    do {
      result = ::recv(client, buffer, static_cast<std::size_t>(size), 0);
    } while (result < 0 && errno == EINTR);
    return result > 0 ? static_cast<int>(result) : -1;
  };

  const auto begin = Clock::now();
  const auto period = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(1.0 / std::max(options.framesPerSecond, 1.0)));
  auto nextFrame = begin;
  while (!stopRequested) {
    const auto now = Clock::now();
    const int waitMs =
        nextFrame > now
            ? static_cast<int>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(nextFrame - now).count()) +
                  1
            : 0;
    pollfd readable{client, POLLIN, 0};
    int ready = ::poll(&readable, 1, std::min(waitMs, 50));
    while (ready > 0) {
      // A closed client, or one stalling inside a query for the receive time-out, is done.
      if (!reader.next(receive, payload.get(), magic, length)) return;
      if (codec.decode(magic, payload.get(), length, query) &&
          query.command().cmdtype() == BrexPlugs::COMMAND::Command_Query_BVH_Header) {
        header.mutable_header()->set_actortag(query.command().actortag());
        if (!sendAll(client, packetOf(header, options.compression))) return;
      }
      ready = reader.buffered() ? 1 : ::poll(&readable, 1, 0);
    }
    if (Clock::now() < nextFrame) continue;
    const double seconds = std::chrono::duration<double>(nextFrame - begin).count();
    for (int actor = 0; actor < options.actors; ++actor) {
      motion(seconds, actor, values);
      frame.mutable_frame()->set_actortag(actorTag(actor));
      frame.mutable_frame()->mutable_motiondata()->Assign(values.begin(), values.end());
      if (!sendAll(client, packetOf(frame, options.compression))) return;
    }
    nextFrame += period;
  }
}
