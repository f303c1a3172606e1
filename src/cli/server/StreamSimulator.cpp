#include "StreamSimulator.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

namespace {

using J = BrexPlugs::BVH_JOIN;

// M_PI is not standard C++; Visual Studio has it only with _USE_MATH_DEFINES.
constexpr double kPi = 3.14159265358979323846;

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

}  // namespace

StreamSimulator::StreamSimulator(Options settings) : options(settings) {}

StreamSimulator::~StreamSimulator() { stop(); }

BrexPlugs::BVH_JOIN StreamSimulator::skeleton() { return makeJoint(0); }

void StreamSimulator::motion(double seconds, int actor, std::vector<float>& values) {
  values.resize(kChannels);
  const double phase = seconds * 2.0 * kPi * 0.5 + actor;
  values[0] = static_cast<float>(20.0 * std::sin(phase) + 50.0 * actor);
  values[1] = static_cast<float>(95.0 + 2.0 * std::sin(2.0 * phase));
  values[2] = static_cast<float>(20.0 * std::cos(phase));
  for (int i = 3; i < kChannels; ++i) {
    values[i] = static_cast<float>(15.0 * std::sin(phase + 0.1 * i));
  }
}

std::vector<StreamServer::Actor> StreamSimulator::actors(const Options& options) {
  // One cycle of the motion, which repeats every two seconds.
  const double rate = std::max(options.framesPerSecond, 1.0);
  const std::size_t frames = static_cast<std::size_t>(std::max(1.0, std::round(2.0 * rate)));
  std::vector<StreamServer::Actor> result(static_cast<std::size_t>(std::max(options.actors, 0)));
  for (std::size_t actor = 0; actor < result.size(); ++actor) {
    result[actor].name = "Actor" + std::to_string(actor + 1);
    result[actor].root = skeleton();
    result[actor].framesPerSecond = rate;
    result[actor].frames.resize(frames);
    for (std::size_t frame = 0; frame < frames; ++frame) {
      motion(static_cast<double>(frame) / rate, static_cast<int>(actor),
             result[actor].frames[frame]);
    }
  }
  return result;
}

bool StreamSimulator::start(std::uint16_t port) {
  stop();
  StreamServer::Options serverOptions;
  serverOptions.port = port;
  serverOptions.compression = options.compression;
  server = std::make_unique<StreamServer>(actors(options), serverOptions);
  std::string error;
  if (server->start(error)) return true;
  server.reset();
  return false;
}

void StreamSimulator::stop() {
  if (server) server->stop();
  server.reset();
}
