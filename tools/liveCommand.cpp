#include <host/HostScene.h>
#include <host/Plugins.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "PluginSession.h"
#include "marvikCommands.h"

namespace {

using Clock = std::chrono::steady_clock;
using Vector = std::array<double, 3>;

constexpr double kPi = 3.14159265358979323846;
// The scene's rate: film, Maya's default.
constexpr double kSceneFramesPerSecond = 24.0;
constexpr auto kHeaderTimeout = std::chrono::seconds(5);
// Device output slots of block 0 that carry joint records (slot 0 carries none).
constexpr int kLinkableJoints = 59;
constexpr int kViewJoints = 4;

std::atomic<bool> interrupted{false};

void onInterrupt(int) { interrupted = true; }

// The joints the stream has records for, in the builder's pre-order: every joint under the
// top transform except the End Sites, which the parser names "..._Effector".
std::vector<std::string> streamedJoints(const std::string& top) {
  std::vector<std::string> joints;
  for (const std::string& path : host::listNodes("joint")) {
    if (path.rfind("|" + top + "|", 0) != 0) continue;
    const std::string name = path.substr(path.find_last_of('|') + 1);
    if (name.find("_Effector") != std::string::npos) continue;
    joints.push_back(path);
  }
  return joints;
}

std::string shortName(const std::string& path) { return path.substr(path.find_last_of('|') + 1); }

Vector vectorOf(const std::string& plug) {
  host::Value value;
  if (!host::getAttribute(plug, value)) return {0, 0, 0};
  const auto* vector = std::get_if<Vector>(&value);
  return vector ? *vector : Vector{0, 0, 0};
}

std::string vectorText(const Vector& v) {
  char text[96];
  std::snprintf(text, sizeof text, "%8.2f %8.2f %8.2f", v[0], v[1], v[2]);
  return text;
}

// The stream carries floats: keep the digits a float has (2.86, not 2.85999989509583).
double singlePrecision(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", value);
  return std::strtod(text, nullptr);
}

// One evaluation: each linked joint's translation and rotation, as output.
struct Sample {
  std::vector<Vector> translations;
  std::vector<Vector> rotations;
};

// Keys the recorded samples onto the joints, one key per evaluation at the scene's rate.
bool keySamples(const std::vector<std::string>& joints, const std::vector<Sample>& samples) {
  for (std::size_t joint = 0; joint < joints.size(); ++joint) {
    MObject object = host::findNode(joints[joint]);
    MFnDependencyNode node(object);
    const char* translate[] = {"translateX", "translateY", "translateZ"};
    const char* rotate[] = {"rotateX", "rotateY", "rotateZ"};
    for (int axis = 0; axis < 6; ++axis) {
      MPlug plug = node.findPlug(axis < 3 ? translate[axis] : rotate[axis - 3], true);
      MFnAnimCurve curve;
      MStatus status;
      curve.create(object, plug, axis < 3 ? MFnAnimCurve::kAnimCurveTL : MFnAnimCurve::kAnimCurveTA,
                   nullptr, &status);
      if (!status) return false;
      for (std::size_t k = 0; k < samples.size(); ++k) {
        const double value =
            axis < 3 ? singlePrecision(samples[k].translations[joint][axis])
                     : singlePrecision(samples[k].rotations[joint][axis - 3]) * kPi / 180.0;
        const MTime time(static_cast<double>(k) / kSceneFramesPerSecond, MTime::kSeconds);
        if (!curve.addKeyframe(time, value)) return false;
      }
    }
  }
  return true;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "marvik live: %s\n%s", message.c_str(), kMarvikUsage);
  return 2;
}

}  // namespace

int liveSession(const LiveRequest& request) {
  const char* name = "marvik live";
  const std::string address = request.host + ":" + request.port;
  std::string error;
  if (!PluginSession::load(error)) {
    std::fprintf(stderr, "%s: %s\n", name, error.c_str());
    return 1;
  }

  std::string device;
  if (!host::createNode("netDevice", "marvikDevice", "", &device) ||
      !host::setAttribute(device + ".inputIp", request.host) ||
      !host::setAttribute(device + ".inputPort", request.port)) {
    std::fprintf(stderr, "%s: cannot set up a netDevice node: %s\n", name,
                 PluginSession::takeErrors().c_str());
    return 1;
  }
  if (!host::runCommand("connectMarvikMocap")) {
    PluginSession::takeErrors();
    std::fprintf(stderr, "%s: nothing listens on %s (start one with: marvik serve)\n", name,
                 address.c_str());
    return 1;
  }
  std::printf("%s: connected to %s\n", name, address.c_str());
  std::fflush(stdout);

  // The headers come in answer to the client's queries; build as soon as the first is there.
  const std::vector<std::string> commands = host::registeredCommands();
  const bool canBuild =
      std::find(commands.begin(), commands.end(), "createMarvikSkeleton") != commands.end();
  const std::string top = "Marvik0";
  const auto deadline = Clock::now() + kHeaderTimeout;
  while (canBuild && !host::findNode(top).hasFn(MFn::kTransform) && Clock::now() < deadline &&
         !interrupted) {
    host::runCommand("createMarvikSkeleton");
    if (!host::findNode(top).hasFn(MFn::kTransform)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  std::vector<std::string> joints;
  if (!canBuild) {
    std::printf("%s: the plug-in has no createMarvikSkeleton: showing the outputs only\n", name);
  } else if (!host::findNode(top).hasFn(MFn::kTransform)) {
    host::runCommand("disconnectMarvikMocap");
    std::fprintf(stderr, "%s: no skeleton header arrived from %s within %lld s\n", name,
                 address.c_str(), static_cast<long long>(kHeaderTimeout.count()));
    return 1;
  } else {
    joints = streamedJoints(top);
    if (joints.size() > static_cast<std::size_t>(kLinkableJoints)) joints.resize(kLinkableJoints);
    for (std::size_t g = 0; g < joints.size(); ++g) {
      host::connectAttributes(device + ".outputTranslate0" + std::to_string(g + 1),
                              joints[g] + ".translate");
      host::connectAttributes(device + ".outputRotate0" + std::to_string(g + 1),
                              joints[g] + ".rotate");
    }
    std::printf("%s: built %s, %zu joints linked to the device outputs\n", name, top.c_str(),
                joints.size());
  }
  std::fflush(stdout);

  host::setAttribute(device + ".frameRate", kSceneFramesPerSecond);
  host::setAttribute(device + ".live", true);
  const bool terminal = request.view && ::isatty(1);
  const std::size_t shown =
      std::max<std::size_t>(1, std::min<std::size_t>(joints.size(), kViewJoints));
  std::vector<Sample> samples;
  const auto period = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(1.0 / kSceneFramesPerSecond));
  const auto start = Clock::now();
  auto next = start;
  auto nextReport = start + std::chrono::seconds(1);
  Sample previous;
  int evaluations = 0;
  int seconds = 0;
  int newInSecond = 0;
  int newTotal = 0;
  int framesPerSecond = 0;
  bool drawn = false;
  while (!interrupted) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (request.seconds > 0 && elapsed >= request.seconds) break;
    std::this_thread::sleep_until(next);
    next += period;

    Sample sample;
    const std::size_t count = std::max<std::size_t>(joints.size(), shown);
    for (std::size_t g = 0; g < count; ++g) {
      const std::string slot = std::to_string(g + 1);
      sample.translations.push_back(vectorOf(device + ".outputTranslate0" + slot));
      sample.rotations.push_back(vectorOf(device + ".outputRotate0" + slot));
    }
    const bool changed = evaluations == 0 || sample.translations != previous.translations ||
                         sample.rotations != previous.rotations;
    newInSecond += changed;
    newTotal += changed;
    previous = sample;
    ++evaluations;
    if (!joints.empty()) samples.push_back(sample);

    const auto now = Clock::now();
    if (now >= nextReport) {
      framesPerSecond = newInSecond;
      newInSecond = 0;
      nextReport += std::chrono::seconds(1);
      if (!terminal) {
        std::printf("%s: %d s, %d new frames/s, root at %s\n", name, ++seconds, framesPerSecond,
                    vectorText(sample.translations[0]).c_str());
        std::fflush(stdout);
      }
    }
    if (terminal) {
      if (drawn) std::printf("\033[%zuA", shown + 2);
      drawn = true;
      std::printf("\033[K%s  %.1f s  %d new frames/s (evaluated at %.0f/s)\n", address.c_str(),
                  elapsed, framesPerSecond, kSceneFramesPerSecond);
      std::printf("\033[K  %-16s translate %s\n",
                  joints.empty() ? "slot 1" : shortName(joints[0]).c_str(),
                  vectorText(sample.translations[0]).c_str());
      for (std::size_t g = 0; g < shown; ++g) {
        std::printf("\033[K  %-16s rotate    %s\n",
                    joints.empty() ? ("slot " + std::to_string(g + 1)).c_str()
                                   : shortName(joints[g]).c_str(),
                    vectorText(sample.rotations[g]).c_str());
      }
      std::fflush(stdout);
    }
  }

  host::setAttribute(device + ".live", false);
  host::runCommand("disconnectMarvikMocap");
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%s: %d evaluations in %.1f s, %d with a new frame\n", name, evaluations, elapsed,
              newTotal);

  int result = 0;
  if (!request.ma.empty() || !request.json.empty()) {
    // The device drives the joints; its node goes, with its links, so that keys can.
    host::deleteNode(device);
    if (!keySamples(joints, samples)) {
      std::fprintf(stderr, "%s: cannot key the recorded frames: %s\n", name,
                   PluginSession::takeErrors().c_str());
      return 1;
    }
    std::printf("%s: keyed %zu frames on %zu joints\n", name, samples.size(), joints.size());
    const std::string wrote = std::string(name) + ": wrote ";
    if (!PluginSession::writeScene(name, request.json, request.ma, wrote.c_str())) result = 1;
  }
  return result;
}

int liveCommand(const std::vector<std::string>& args) {
  LiveRequest request;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--host" && hasValue) {
      request.host = args[++i];
    } else if (arg == "--port" && hasValue) {
      request.port = args[++i];
      char* end = nullptr;
      const long port = std::strtol(request.port.c_str(), &end, 10);
      if (*end != '\0' || port < 1 || port > 65535) return usageError("bad port " + request.port);
    } else if (arg == "--seconds" && hasValue) {
      char* end = nullptr;
      request.seconds = std::strtod(args[++i].c_str(), &end);
      if (*end != '\0' || !(request.seconds > 0)) return usageError("bad time " + args[i]);
    } else if (arg == "--ma" && hasValue) {
      request.ma = args[++i];
    } else if (arg == "--json" && hasValue) {
      request.json = args[++i];
    } else {
      return usageError("unknown option " + arg);
    }
  }
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  const int result = liveSession(request);
  PluginSession::end();
  return result;
}
