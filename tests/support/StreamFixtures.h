#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The packets written by streamFixtures at build time (directory STREAM_FIXTURES), and what
// they hold:
// - "chain-actors.pkt": one actor, tag kChainTag; "chain-header.pkt": its header, a chain of
//   kChainJoints joints J0, J1, ... (J0 offset 0 with channels Xposition Yposition Zposition
//   Zrotation Xrotation Yrotation, Ji offset (0, i, 0) with Zrotation Xrotation Yrotation);
//   "chain-frame-a.pkt" and "chain-frame-b.pkt": frames of it with the values frameA(k) and
//   frameB(k).
// - "pair-actors.pkt": tags 10 and 20; "pair-header-hips.pkt" (tag 10: Hips, Spine, Head and
//   its End Site) and "pair-header-root.pkt" (tag 20: Root, Arm and its End Site);
//   "pair-frame-hips.pkt" and "pair-frame-root.pkt": a frame of each, with the root's
//   Xposition kPairMarker and the other values 0.
// - "numbered-frames.pkt": kNumberedFrames frames of the chain actor, frame i (from 1) with
//   value 0 (the root's Xposition) equal to i and the others 0.
namespace streamFixtures {

constexpr std::uint32_t kChainTag = 7;
constexpr int kChainJoints = 60;
constexpr int kChainChannels = 6 + 3 * (kChainJoints - 1);
constexpr int kNumberedFrames = 4000;
constexpr float kPairMarker = 4242.0f;

inline float frameA(int k) { return static_cast<float>(k) + 0.5f; }
inline float frameB(int k) { return 1000.0f + static_cast<float>(k); }

// The 6 floats of joint record g of the chain actor after a frame with values value(k): its
// position then its X, Y, Z rotation.
inline std::vector<double> chainRecord(int g, float (*value)(int)) {
  if (g == 0) return {value(0), value(1), value(2), value(4), value(5), value(3)};
  const int first = 6 + 3 * (g - 1);  // Zrotation, Xrotation, Yrotation
  return {0.0, static_cast<double>(g), 0.0, value(first + 1), value(first + 2), value(first)};
}

#ifdef STREAM_FIXTURES
inline std::string read(const std::string& name) {
  std::ifstream file(std::string(STREAM_FIXTURES) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Splits concatenated packets at their 8-byte heads.
inline std::vector<std::string> split(const std::string& bytes) {
  std::vector<std::string> packets;
  std::size_t at = 0;
  while (at + 8 <= bytes.size()) {
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i)
      length = length << 8 | static_cast<unsigned char>(bytes[at + 4 + i]);
    if (at + 8 + length > bytes.size()) break;
    packets.push_back(bytes.substr(at, 8 + length));
    at += 8 + length;
  }
  return packets;
}

// A server script (LoopbackServer::serve): the chain actor's list, its header once queried,
// frame A, then the wait for the client to close.
template <typename Connection>
void serveChainFrameA(Connection& connection) {
  std::string query;
  if (connection.send(read("chain-actors.pkt")) && connection.receivePacket(query) &&
      connection.send(read("chain-header.pkt")) && connection.send(read("chain-frame-a.pkt"))) {
    connection.waitForClose();
  }
}
#endif

}  // namespace streamFixtures
