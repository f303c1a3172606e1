#include <host/HostScene.h>
#include <host/Plugins.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnTransform.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>

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

#include "OutputLinks.h"
#include "PluginSession.h"
#include "ProcessPlatform.h"
#include "StopSignals.h"
#include "marvikCommands.h"
#include "motion/EulerFilter.h"
#include "motion/RotationOrder.h"
#include "motion/iSkeleton.h"

namespace {

using Clock = std::chrono::steady_clock;
using Vector = std::array<double, 3>;

constexpr double kPi = 3.14159265358979323846;
// The scene's rate: film, Maya's default.
constexpr double kSceneFramesPerSecond = 24.0;
constexpr auto kHeaderTimeout = std::chrono::seconds(5);
constexpr auto kHeaderRetry = std::chrono::milliseconds(50);
// The node's output blocks, one per actor slot, and the slots of a block that carry joint
// records (slot 0 carries none).
constexpr int kBlocks = 5;
constexpr int kLinkableJoints = 59;
constexpr int kViewJoints = 4;

// Ctrl-C, once `marvik live` takes it; a session run by another command runs its time.
StopSignals* stopSignals = nullptr;

bool interrupted() { return stopSignals != nullptr && stopSignals->stopped(); }

bool registered(const char* command) {
  const std::vector<std::string> commands = host::registeredCommands();
  return std::find(commands.begin(), commands.end(), command) != commands.end();
}

// The status command's line; empty when the plug-in has none.
std::string statusLine() {
  if (!host::runCommand("marvikMocapStatus")) return std::string();
  return host::lastCommandResult();
}

// "actors=<n>" of the status line; -1 when there is none.
int statusActors(const std::string& status) {
  const auto at = status.find(" actors=");
  return at == std::string::npos ? -1 : std::atoi(status.c_str() + at + 8);
}

// "frames=<n>" of the status line: frames received so far; -1 when there is none.
long long statusFrames(const std::string& status) {
  const auto at = status.find(" frames=");
  return at == std::string::npos ? -1 : std::atoll(status.c_str() + at + 8);
}

std::string topOf(int block) { return "Marvik" + std::to_string(block); }

// The joints the stream has records for, in the builder's pre-order: every joint under the
// top transform except the End Sites, the leaves the parser named as its parent's End Site.
std::vector<std::string> streamedJoints(const std::string& top) {
  const std::vector<std::string> all = host::listNodes("joint");
  std::vector<std::string> joints;
  for (const std::string& path : all) {
    if (path.rfind("|" + top + "|", 0) != 0) continue;
    const std::size_t cut = path.find_last_of('|');
    const std::string parent = path.substr(0, cut);
    const bool leaf = std::none_of(all.begin(), all.end(), [&path](const std::string& other) {
      return other.rfind(path + "|", 0) == 0;
    });
    if (leaf && parent.rfind("|" + top + "|", 0) == 0 &&
        path.substr(cut + 1) == endSiteName(parent.substr(parent.find_last_of('|') + 1))) {
      continue;
    }
    joints.push_back(path);
  }
  return joints;
}

// The blocks whose skeleton "Marvik<k>" is in the scene.
std::vector<int> builtBlocks() {
  std::vector<int> blocks;
  for (int block = 0; block < kBlocks; ++block) {
    if (host::findNode(topOf(block)).hasFn(MFn::kTransform)) blocks.push_back(block);
  }
  return blocks;
}

// Builds a skeleton per actor once every listed actor's header is in, or at the deadline
// whatever is in then. Without the status command, as soon as one is in. The blocks built.
std::vector<int> buildSkeletons(bool counted) {
  const auto deadline = Clock::now() + kHeaderTimeout;
  // Headers still on their way fail the command too: its errors are the wait's, said only when
  // a skeleton could not be built in the end.
  host::setMessagesEchoed(false);
  for (;;) {
    const bool last = Clock::now() >= deadline || interrupted();
    const int expected = counted ? statusActors(statusLine()) : 1;
    if (expected > 0 || last) {
      const bool built = host::runCommand("createMarvikSkeleton");
      const std::vector<int> blocks = builtBlocks();
      const std::string errors = PluginSession::takeErrors();
      if (last || (!blocks.empty() && static_cast<int>(blocks.size()) >= expected)) {
        host::setMessagesEchoed(true);
        if (!built && !blocks.empty()) std::fprintf(stderr, "marvik live: %s\n", errors.c_str());
        return blocks;
      }
      // Some headers are still on their way: build them all together.
      for (int block : blocks) host::deleteNode(topOf(block));
    }
    std::this_thread::sleep_for(kHeaderRetry);
  }
}

std::string shortName(const std::string& path) { return path.substr(path.find_last_of('|') + 1); }

Vector vectorIn(const host::Value& value) {
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

// A joint driven by output slot g + 1 of its actor's block.
struct Link {
  std::string joint;
  std::string translate;
  std::string rotate;
};

// One evaluation: each link's translation and rotation, as output.
struct Sample {
  std::vector<Vector> translations;
  std::vector<Vector> rotations;
};

// The joint's rotate order as a channel order with the same middle axis.
RotationOrder rotateOrderOf(const MObject& joint) {
  static const RotationOrder kOrders[6] = {kOrderXYZ, kOrderYZX, kOrderZXY,
                                           kOrderXZY, kOrderYXZ, kOrderZYX};
  const int order = static_cast<int>(MFnTransform(joint).rotationOrder()) - 1;
  return order >= 0 && order < 6 ? kOrders[order] : kOrderXYZ;
}

// Keys the recorded samples onto the joints, one key per evaluation at the scene's rate, each
// rotation nearest the one keyed before it.
bool keySamples(const std::vector<Link>& links, const std::vector<Sample>& samples) {
  for (std::size_t joint = 0; joint < links.size(); ++joint) {
    MObject object = host::findNode(links[joint].joint);
    MFnDependencyNode node(object);
    EulerFilter filter(rotateOrderOf(object));
    std::vector<Vector> rotations;
    for (const Sample& sample : samples) {
      const Vector& rotation = sample.rotations[joint];
      rotations.push_back(filter.next({singlePrecision(rotation[0]), singlePrecision(rotation[1]),
                                       singlePrecision(rotation[2])}));
    }
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
        const double value = axis < 3
                                 ? singlePrecision(samples[k].translations[joint][axis])
                                 : rotations[k][static_cast<std::size_t>(axis - 3)] * kPi / 180.0;
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

  // The headers come in answer to the client's queries, one per actor.
  const bool hasStatus = registered("marvikMocapStatus");
  std::vector<Link> links;
  std::vector<std::size_t> roots;  // the first link of each actor
  const bool skeletons = registered("createMarvikSkeleton");
  if (!skeletons) {
    std::printf("%s: the plug-in has no createMarvikSkeleton: showing the outputs only\n", name);
    links.push_back({"slot 1", device + ".outputTranslate01", device + ".outputRotate01"});
    roots.push_back(0);
  } else {
    const std::vector<int> blocks = buildSkeletons(hasStatus);
    if (blocks.empty()) {
      host::runCommand("disconnectMarvikMocap");
      std::fprintf(stderr, "%s: no skeleton header arrived from %s within %lld s\n", name,
                   address.c_str(), static_cast<long long>(kHeaderTimeout.count()));
      return 1;
    }
    for (int block : blocks) {
      std::vector<std::string> joints = streamedJoints(topOf(block));
      if (joints.size() > static_cast<std::size_t>(kLinkableJoints)) joints.resize(kLinkableJoints);
      roots.push_back(links.size());
      for (std::size_t g = 0; g < joints.size(); ++g) {
        const std::string slot = std::to_string(block) + std::to_string(g + 1);
        Link link{joints[g], device + ".outputTranslate" + slot, device + ".outputRotate" + slot};
        linkJointToOutputs(link.translate, link.rotate, joints[g]);
        links.push_back(link);
      }
      std::printf("%s: built %s, %zu joints linked to the device outputs\n", name,
                  topOf(block).c_str(), joints.size());
    }
  }
  std::fflush(stdout);

  host::setAttribute(device + ".frameRate", kSceneFramesPerSecond);
  host::setAttribute(device + ".live", true);
  const bool recording = request.record && registered("marvikMocapRecord") &&
                         host::runCommand("marvikMocapRecord", {"-start"});
  if (request.record && !recording) {
    std::fprintf(stderr, "%s: cannot record a take: %s\n", name,
                 PluginSession::takeErrors().c_str());
  } else if (recording) {
    std::printf("%s: recording a take of every frame (marvikMocapRecord)\n", name);
    std::fflush(stdout);
  }
  const bool terminal = request.view && processPlatform::isTerminal(stdout);
  // The view: each actor's root, then the first actor's next joints.
  std::vector<std::size_t> shown = roots;
  for (std::size_t g = 1; g < static_cast<std::size_t>(kViewJoints); ++g) {
    const std::size_t next = roots.size() > 1 ? roots[1] : links.size();
    if (g < next) shown.push_back(g);
  }
  std::vector<std::string> plugs;
  for (const Link& link : links) {
    plugs.push_back(link.translate);
    plugs.push_back(link.rotate);
  }
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
  std::string status = hasStatus ? statusLine() : std::string();
  bool drawn = false;
  // Keys start at the first frame received, whatever it holds (a calibration pose of zero
  // rotations, positions only): once the status has counted one before an evaluation, the next
  // evaluation shows it, the device thread handing each frame on within its own step. Without
  // the status every evaluation is keyed.
  bool keying = !hasStatus;
  bool received = false;
  while (!interrupted()) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (request.seconds > 0 && elapsed >= request.seconds) break;
    std::this_thread::sleep_until(next);
    next += period;

    // One evaluation, as a viewport refresh reads the scene: a frame arriving meanwhile shows in
    // the next sample, never in half of this one.
    if (skeletons && !keying) {
      keying = received;
      received = statusFrames(statusLine()) > 0;
    }
    Sample sample;
    std::vector<host::Value> values;
    host::getAttributes(plugs, values);
    values.resize(plugs.size());
    for (std::size_t k = 0; k < links.size(); ++k) {
      sample.translations.push_back(vectorIn(values[2 * k]));
      sample.rotations.push_back(vectorIn(values[2 * k + 1]));
    }
    const bool changed = evaluations == 0 || sample.translations != previous.translations ||
                         sample.rotations != previous.rotations;
    newInSecond += changed;
    newTotal += changed;
    previous = sample;
    ++evaluations;
    if (skeletons && keying) samples.push_back(sample);

    const auto now = Clock::now();
    if (now >= nextReport) {
      framesPerSecond = newInSecond;
      newInSecond = 0;
      nextReport += std::chrono::seconds(1);
      if (hasStatus) status = statusLine();
      if (!terminal) {
        std::printf("%s: %d s, %d new frames/s, root at %s\n", name, ++seconds, framesPerSecond,
                    vectorText(sample.translations[0]).c_str());
        if (hasStatus) std::printf("%s: %s\n", name, status.c_str());
        std::fflush(stdout);
      }
    }
    if (terminal) {
      if (drawn) std::printf("\033[%zuA", shown.size() + roots.size() + (hasStatus ? 2 : 1));
      drawn = true;
      std::printf("\033[K%s  %.1f s  %d new frames/s (evaluated at %.0f/s)\n", address.c_str(),
                  elapsed, framesPerSecond, kSceneFramesPerSecond);
      if (hasStatus) std::printf("\033[K  %s\n", status.c_str());
      for (std::size_t root : roots) {
        std::printf("\033[K  %-16s translate %s\n", shortName(links[root].joint).c_str(),
                    vectorText(sample.translations[root]).c_str());
      }
      for (std::size_t g : shown) {
        std::printf("\033[K  %-16s rotate    %s\n", shortName(links[g].joint).c_str(),
                    vectorText(sample.rotations[g]).c_str());
      }
      std::fflush(stdout);
    }
  }

  host::setAttribute(device + ".live", false);
  if (recording) {
    host::runCommand("marvikMocapRecord", {"-query"});
    const std::string take = host::lastCommandResult();
    if (host::runCommand("marvikMocapRecord", {"-stop"})) {
      std::printf("%s: take built (%s):", name, take.c_str());
      for (const std::string& root : host::lastCommandResults()) std::printf(" %s", root.c_str());
      std::printf("\n");
    } else {
      std::fprintf(stderr, "%s: the take could not be built: %s\n", name,
                   PluginSession::takeErrors().c_str());
    }
  }
  host::runCommand("disconnectMarvikMocap");
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%s: %d evaluations in %.1f s, %d with a new frame\n", name, evaluations, elapsed,
              newTotal);

  int result = 0;
  if (!request.ma.empty() || !request.json.empty()) {
    // The device drives the joints; its node goes, with its links, so that keys can.
    host::deleteNode(device);
    if (skeletons && !keySamples(links, samples)) {
      std::fprintf(stderr, "%s: cannot key the recorded frames: %s\n", name,
                   PluginSession::takeErrors().c_str());
      return 1;
    }
    std::printf("%s: keyed %zu frames on %zu joints\n", name, skeletons ? samples.size() : 0,
                skeletons ? links.size() : 0);
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
    } else if (arg == "--record") {
      request.record = true;
    } else {
      return usageError("unknown option " + arg);
    }
  }
  // Taken before the plug-in starts any thread.
  StopSignals stops;
  stopSignals = &stops;
  const int result = liveSession(request);
  PluginSession::end();
  stopSignals = nullptr;
  return result;
}
