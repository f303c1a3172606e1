// The motion in the scene is the motion in the file: every imported joint stands, at every
// frame, where forward kinematics of the file's own text puts it. The file side is the test's own
// reading of BVH (support/BvhReference), the scene side the joints' attributes and keyed curves
// (support/JointPoses); neither uses the module's parser, model or builder. Each case prints its
// largest distance.

#include <gtest/gtest.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "host/SceneMayaAscii.h"
#include "scene/BvhSceneTest.h"
#include "support/BvhReference.h"
#include "support/JointPoses.h"
#include "support/TestMatrix.h"
#include "support/TextFiles.h"

namespace {

using Vector = std::array<double, 3>;

constexpr double kTolerance = 1e-3;
constexpr int kFrames = 6;
const char* const kOrders[6] = {"XYZ", "YZX", "ZXY", "ZYX", "YXZ", "XZY"};

// A generated joint: its channel list and how its values are drawn.
struct Joint {
  std::string name;
  int parent = -1;
  Vector offset{};
  std::vector<std::string> channels;
  bool endSite = false;
};

// A humanoid-like tree: a root above the hips, a spine with neck and head, two arms and two
// legs, each limb ending in an End Site. Bone lengths are drawn from the generator.
std::vector<Joint> humanoid(std::mt19937& random) {
  std::uniform_real_distribution<double> length(4, 24);
  std::uniform_real_distribution<double> side(-3, 3);
  std::vector<Joint> joints;
  auto add = [&](const std::string& name, int parent, Vector offset) {
    joints.push_back(Joint{name, parent, offset, {}, false});
    return static_cast<int>(joints.size()) - 1;
  };
  auto site = [&](int parent, Vector offset) {
    joints.push_back(Joint{"", parent, offset, {}, true});
  };
  auto q = [](double value) { return std::round(value * 100) / 100; };
  const int root = add("Root", -1, {0, 0, 0});
  const int hips = add("Hips", root, {q(side(random)), q(80 + side(random)), q(side(random))});
  int spine = add("Spine", hips, {0, q(length(random)), q(side(random))});
  const int chest = add("Chest", spine, {q(side(random)), q(length(random)), 0});
  const int neck = add("Neck", chest, {0, q(length(random)), q(side(random))});
  const int head = add("Head", neck, {q(side(random)), q(length(random)), 1.5});
  site(head, {0, q(length(random)), 0});
  for (int s : {1, -1}) {
    const std::string prefix = s > 0 ? "Left" : "Right";
    int arm = add(prefix + "Arm", chest, {s * q(length(random)), q(side(random)), 0});
    int fore = add(prefix + "ForeArm", arm, {s * q(length(random)), 0, q(side(random))});
    int hand = add(prefix + "Hand", fore, {s * q(length(random)), q(side(random)), 0});
    site(hand, {s * 8.0, 0, 0});
  }
  for (int s : {1, -1}) {
    const std::string prefix = s > 0 ? "Left" : "Right";
    int leg = add(prefix + "UpLeg", hips, {s * 9.5, q(-side(random) - 4), 0});
    int shin = add(prefix + "Leg", leg, {0, -q(length(random) + 20), q(side(random))});
    int foot = add(prefix + "Foot", shin, {0, -q(length(random) + 20), 0});
    site(foot, {0, -3, q(length(random))});
  }
  return joints;
}

std::vector<std::string> rotations(const std::string& order) {
  std::vector<std::string> names;
  for (char axis : order) names.push_back(std::string(1, axis) + "rotation");
  return names;
}

std::vector<std::string> positions() { return {"Xposition", "Yposition", "Zposition"}; }

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Gives every joint but the End Sites its channels, made from one of the six rotation orders:
// the orders go round the joints and are then shuffled, so each is used.
void setChannels(std::vector<Joint>& joints, std::mt19937& random,
                 const std::function<std::vector<std::string>(const Joint&, const char*)>& make) {
  std::vector<const char*> orders;
  for (const Joint& joint : joints) {
    if (!joint.endSite) orders.push_back(kOrders[orders.size() % 6]);
  }
  std::shuffle(orders.begin(), orders.end(), random);
  std::size_t next = 0;
  for (Joint& joint : joints) {
    if (!joint.endSite) joint.channels = make(joint, orders[next++]);
  }
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  return text;
}

// How a generated file draws one channel's value for a joint and frame.
using Draw = std::function<double(const Joint& joint, const std::string& channel, int frame)>;

std::string bvhText(const std::vector<Joint>& joints, int frames, const Draw& draw) {
  std::ostringstream text;
  text << "HIERARCHY\n";
  std::vector<int> open;
  for (std::size_t j = 0; j < joints.size(); ++j) {
    const Joint& joint = joints[j];
    while (!open.empty() && open.back() != joint.parent) {
      open.pop_back();
      text << std::string(open.size() * 2, ' ') << "}\n";
    }
    const std::string indent(open.size() * 2, ' ');
    if (joint.endSite) {
      text << indent << "End Site\n" << indent << "{\n";
    } else {
      text << indent << (joint.parent < 0 ? "ROOT " : "JOINT ") << joint.name << "\n"
           << indent << "{\n";
    }
    text << indent << "  OFFSET " << number(joint.offset[0]) << " " << number(joint.offset[1])
         << " " << number(joint.offset[2]) << "\n";
    if (!joint.endSite) {
      text << indent << "  CHANNELS " << joint.channels.size();
      for (const std::string& channel : joint.channels) text << " " << channel;
      text << "\n";
    }
    open.push_back(static_cast<int>(j));
  }
  while (!open.empty()) {
    open.pop_back();
    text << std::string(open.size() * 2, ' ') << "}\n";
  }
  text << "MOTION\nFrames: " << frames << "\nFrame Time: 0.04\n";
  for (int f = 0; f < frames; ++f) {
    std::string line;
    for (const Joint& joint : joints) {
      for (const std::string& channel : joint.channels) {
        line += (line.empty() ? "" : " ") + number(draw(joint, channel, f));
      }
    }
    text << line << "\n";
  }
  return text.str();
}

int axisOf(const std::string& channel) { return channel[0] - 'X'; }
bool isPosition(const std::string& channel) {
  return channel.find("position") != std::string::npos;
}

// Large random angles everywhere; positions by `place` (offset-based, or travel for the root).
Draw randomMotion(std::mt19937& random,
                  std::function<double(const Joint&, int axis, int frame)> place) {
  auto angles = std::make_shared<std::uniform_real_distribution<double>>(-180, 180);
  return [&random, angles, place](const Joint& joint, const std::string& channel, int frame) {
    if (isPosition(channel)) return place(joint, axisOf(channel), frame);
    return (*angles)(random);
  };
}

// Root travel: a path far from the origin that moves every frame.
double travel(int axis, int frame) { return (axis == 1 ? 90.0 : 40.0 * (axis + 1)) + 7.5 * frame; }

// The largest step (degrees) between two consecutive keys of any rotate curve of the joints.
double largestRotateStep(const std::vector<std::string>& joints) {
  double largest = 0;
  for (const std::string& joint : joints) {
    MFnDependencyNode node(host::findNode(joint));
    for (const char* plug : {"rotateX", "rotateY", "rotateZ"}) {
      MStatus status;
      MFnAnimCurve curve(node.findPlug(plug, false), &status);
      if (!status) continue;
      const double degrees =
          curve.animCurveType() == MFnAnimCurve::kAnimCurveTA ? 180 / testmatrix::kPi : 1.0;
      for (unsigned int k = 1; k < curve.numKeys(); ++k) {
        largest = std::max(largest, std::abs(curve.value(k) - curve.value(k - 1)) * degrees);
      }
    }
  }
  return largest;
}

// The transforms and joints of a .ma text, with their attributes.
std::string nodesOf(const std::string& scene) {
  std::istringstream lines(scene);
  std::string line;
  std::string nodes;
  bool inside = false;
  while (std::getline(lines, line)) {
    if (line.rfind("createNode ", 0) == 0) {
      inside =
          line.rfind("createNode joint ", 0) == 0 || line.rfind("createNode transform ", 0) == 0;
    } else if (line.rfind("\t", 0) != 0) {
      inside = false;
    }
    if (inside) nodes += line + "\n";
  }
  return nodes;
}

class ForwardKinematics : public scenetest::BvhSceneTest {
 protected:
  // Imports the text as `name`.bvh and compares every joint at every frame (the first
  // `keyedFrames` when not negative); prints and returns the largest distance.
  double check(const std::string& name, const std::string& text, double scale = 1,
               int keyedFrames = -1) {
    bvhref::Motion motion;
    std::string error;
    EXPECT_TRUE(bvhref::read(text, motion, error)) << name << ": " << error;
    const std::string path = write(name + ".bvh", text);
    const std::string options =
        "bonesOnly=false;merge=false;scale=" + number(scale) + ";rotationOrder=none";
    EXPECT_EQ(host::importFile(path, "BVH", options), MS::kSuccess) << name;
    return compare(name, motion, jointposes::jointPaths("|" + name), scale, keyedFrames);
  }

  // Compares the joints (the file's, in its order) with the motion at every key time; no rotate
  // key may lie more than 180 degrees from the one before it.
  double compare(const std::string& name, const bvhref::Motion& motion,
                 const std::vector<std::string>& joints, double scale = 1, int keyedFrames = -1) {
    EXPECT_EQ(joints.size(), motion.joints.size()) << name;
    if (joints.size() != motion.joints.size()) return 1e9;
    const std::vector<double> times = jointposes::keyTimes(joints);
    const int frames = keyedFrames >= 0 ? keyedFrames : static_cast<int>(motion.frames.size());
    EXPECT_EQ(times.size(), static_cast<std::size_t>(frames)) << name;
    if (times.size() != static_cast<std::size_t>(frames)) return 1e9;
    EXPECT_LE(largestRotateStep(joints), 180.0) << name;

    double largest = 0;
    std::string where;
    for (int f = 0; f < std::max(frames, 1); ++f) {
      const double seconds = frames > 0 ? times[static_cast<std::size_t>(f)] : 0.0;
      const std::vector<Vector> expected = bvhref::worldPositions(motion, frames > 0 ? f : -1);
      const std::vector<Vector> actual = jointposes::worldPositions(joints, seconds);
      for (std::size_t j = 0; j < joints.size(); ++j) {
        double squared = 0;
        for (std::size_t a = 0; a < 3; ++a) {
          const double d = expected[j][a] * scale - actual[j][a];
          squared += d * d;
        }
        if (std::sqrt(squared) > largest) {
          largest = std::sqrt(squared);
          where = joints[j] + " at frame " + std::to_string(f);
        }
      }
    }
    std::cout << "FK " << name << ": largest distance " << largest << " (" << joints.size()
              << " joints, " << std::max(frames, 1) << " frames" << (where.empty() ? "" : ", at ")
              << where << ")" << std::endl;
    EXPECT_LE(largest, kTolerance) << name << ": " << where;
    return largest;
  }

  // Builds the file's joints as a rig of its own: every joint turning in another rotate order,
  // with a random joint orient, and every third with a rotate axis too. Then merges the file
  // onto it and compares.
  void checkRig(const std::string& name, const std::string& text, std::mt19937& random) {
    bvhref::Motion motion;
    std::string error;
    ASSERT_TRUE(bvhref::read(text, motion, error)) << name << ": " << error;
    const std::string path = write(name + ".bvh", text);
    ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=true")), MS::kSuccess);
    const std::vector<std::string> joints = jointposes::jointPaths("|" + name);
    std::uniform_int_distribution<int> shift(1, 5);
    std::uniform_real_distribution<double> angle(-120, 120);
    for (std::size_t j = 0; j < joints.size(); ++j) {
      host::Value order;
      ASSERT_EQ(host::getAttribute(joints[j] + ".rotateOrder", order), MS::kSuccess);
      ASSERT_EQ(host::setAttribute(joints[j] + ".rotateOrder",
                                   (std::get<int>(order) + shift(random)) % 6),
                MS::kSuccess);
      ASSERT_EQ(host::setAttribute(joints[j] + ".jointOrient",
                                   Vector{angle(random), angle(random), angle(random)}),
                MS::kSuccess);
      if (j % 3 == 0) {
        ASSERT_EQ(host::setAttribute(joints[j] + ".rotateAxis",
                                     Vector{angle(random), angle(random), angle(random)}),
                  MS::kSuccess);
      }
    }
    const std::string rig = host::sceneMayaAscii("rig.ma");
    ASSERT_EQ(host::select({joints[0]}), MS::kSuccess);
    ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=false;merge=true")),
              MS::kSuccess);
    compare(name + " onto a rig", motion, joints);
    // The merge keyed the rig and changed nothing else of it.
    EXPECT_EQ(nodesOf(host::sceneMayaAscii("rig.ma")), nodesOf(rig));
  }
};

TEST_F(ForwardKinematics, EachJointTurnsInItsOwnOrder) {
  std::mt19937 random(35001);
  std::vector<Joint> joints = humanoid(random);
  setChannels(joints, random, [](const Joint& joint, const char* order) {
    return joint.parent < 0 ? join(positions(), rotations(order)) : rotations(order);
  });
  check("mixedOrders",
        bvhText(joints, kFrames,
                randomMotion(random, [](const Joint&, int a, int f) { return travel(a, f); })));
}

TEST_F(ForwardKinematics, PositionChannelsOnEveryJointCarryTheirTranslation) {
  for (bool stretch : {false, true}) {
    std::mt19937 random(stretch ? 35003 : 35002);
    std::vector<Joint> joints = humanoid(random);
    setChannels(joints, random, [](const Joint&, const char* order) {
      return join(positions(), rotations(order));
    });
    auto factor = std::make_shared<std::uniform_real_distribution<double>>(0.5, 1.5);
    Draw draw = randomMotion(random, [&random, factor, stretch](const Joint& joint, int a, int f) {
      if (joint.parent < 0) return travel(a, f);
      return stretch ? joint.offset[static_cast<std::size_t>(a)] * (*factor)(random) + f * 0.25
                     : joint.offset[static_cast<std::size_t>(a)];
    });
    check(stretch ? "positionsStretch" : "positionsEqualOffset", bvhText(joints, kFrames, draw));
  }
}

// The layout of a large public dataset: a still root, and Hips below it carrying the body's
// travel in its own position channels, every joint with six channels.
TEST_F(ForwardKinematics, StillRootWithHipsCarryingTheMotion) {
  std::mt19937 random(35004);
  std::vector<Joint> joints = humanoid(random);
  for (Joint& joint : joints) {
    if (!joint.endSite) joint.channels = join(positions(), rotations("ZYX"));
  }
  auto angles = std::make_shared<std::uniform_real_distribution<double>>(-60, 60);
  Draw draw = [&random, angles](const Joint& joint, const std::string& channel, int f) {
    if (joint.parent < 0) return isPosition(channel) ? joint.offset[0] : 0.0;
    if (!isPosition(channel)) return (*angles)(random);
    const auto a = static_cast<std::size_t>(axisOf(channel));
    return joint.name == "Hips" ? joint.offset[a] + 15.0 * f * (a == 2) : joint.offset[a];
  };
  check("stillRoot", bvhText(joints, kFrames, draw));
}

TEST_F(ForwardKinematics, SixChannelListsWithRotationsFirst) {
  std::mt19937 random(35005);
  std::vector<Joint> joints = humanoid(random);
  setChannels(joints, random,
              [](const Joint&, const char* order) { return join(rotations(order), positions()); });
  check("rotationsFirst",
        bvhText(joints, kFrames, randomMotion(random, [](const Joint& joint, int a, int f) {
                  return joint.parent < 0 ? travel(a, f)
                                          : joint.offset[static_cast<std::size_t>(a)] * 1.1;
                })));
}

TEST_F(ForwardKinematics, ChannelNamesInAnyOrderAndMix) {
  std::mt19937 random(35006);
  std::vector<Joint> joints = humanoid(random);
  const std::vector<std::string> all = join(positions(), rotations("XYZ"));
  int n = 0;
  for (Joint& joint : joints) {
    if (joint.endSite) continue;
    std::vector<std::string> channels = all;
    std::shuffle(channels.begin(), channels.end(), random);
    // Every third joint lists three channels only: positions alone, or a mix of both kinds.
    if (n % 3 == 1) channels = positions();
    if (n % 3 == 2) channels = {"Yposition", "Zrotation", "Xrotation"};
    joint.channels = channels;
    ++n;
  }
  check("anyOrder",
        bvhText(joints, kFrames, randomMotion(random, [](const Joint& joint, int a, int f) {
                  return joint.parent < 0
                             ? travel(a, f)
                             : joint.offset[static_cast<std::size_t>(a)] * (1 + 0.05 * f);
                })));
}

TEST_F(ForwardKinematics, RootWithRotationsOnlyKeepsItsOffset) {
  std::mt19937 random(35007);
  std::vector<Joint> joints = humanoid(random);
  joints[0].offset = {12.5, 95.25, -7.75};
  setChannels(joints, random, [](const Joint&, const char* order) { return rotations(order); });
  check("rootRotationsOnly",
        bvhText(joints, kFrames, randomMotion(random, [](const Joint&, int, int) { return 0.0; })));
}

TEST_F(ForwardKinematics, ScaleMultipliesEveryDistance) {
  std::mt19937 random(35008);
  std::vector<Joint> joints = humanoid(random);
  setChannels(joints, random,
              [](const Joint&, const char* order) { return join(positions(), rotations(order)); });
  check("scaled",
        bvhText(joints, kFrames,
                randomMotion(random,
                             [](const Joint& joint, int a, int f) {
                               return joint.parent < 0
                                          ? travel(a, f)
                                          : joint.offset[static_cast<std::size_t>(a)] * 0.9;
                             })),
        2.5);
}

TEST_F(ForwardKinematics, RepositorySamples) {
  for (const char* sample : {"humanoid", "syntax/lowerCase", "syntax/channelOrders",
                             "syntax/twoBlocksCrlf", "syntax/hierarchyOnly"}) {
    const std::string text = readFile(std::string(EXAMPLES_DIR) + "/" + sample + ".bvh");
    ASSERT_FALSE(text.empty()) << sample;
    std::string name = sample;
    name = name.substr(name.find('/') + 1);
    // A further Frames block replaces the frame count, and the import keys that many frames
    // across the blocks: one of twoBlocksCrlf's three.
    check(name, text, 1, name == "twoBlocksCrlf" ? 1 : -1);
  }
}

}  // namespace

namespace {

// A rig whose joints turn otherwise than the file's (rotate orders, joint orients, rotate axes)
// is posed as the file poses its own joints.
TEST_F(ForwardKinematics, MergeOntoARigPosesItAsTheFile) {
  std::mt19937 random(41002);
  std::vector<Joint> joints = humanoid(random);
  setChannels(joints, random, [](const Joint& joint, const char* order) {
    return joint.parent < 0 ? join(positions(), rotations(order)) : rotations(order);
  });
  checkRig("rigOrders",
           bvhText(joints, kFrames,
                   randomMotion(random, [](const Joint&, int a, int f) { return travel(a, f); })),
           random);

  joints = humanoid(random);
  setChannels(joints, random,
              [](const Joint&, const char* order) { return join(positions(), rotations(order)); });
  auto factor = std::make_shared<std::uniform_real_distribution<double>>(0.5, 1.5);
  checkRig("rigPositions",
           bvhText(joints, kFrames,
                   randomMotion(random,
                                [&random, factor](const Joint& joint, int a, int f) {
                                  if (joint.parent < 0) return travel(a, f);
                                  return joint.offset[static_cast<std::size_t>(a)] *
                                         (*factor)(random);
                                })),
           random);
}

// Onto the joints the same file built, a merge keys the file's values as they stand.
TEST_F(ForwardKinematics, MergeOntoTheFilesOwnJointsKeysItsValues) {
  std::mt19937 random(41003);
  std::vector<Joint> joints = humanoid(random);
  setChannels(joints, random,
              [](const Joint&, const char* order) { return join(positions(), rotations(order)); });
  const std::string path =
      write("own.bvh",
            bvhText(joints, kFrames, randomMotion(random, [](const Joint& joint, int a, int f) {
                      return joint.offset[static_cast<std::size_t>(a)] + f;
                    })));
  const std::string unfiltered = "bonesOnly=false;eulerFilter=false";
  ASSERT_EQ(host::importFile(path, "BVH", unfiltered), MS::kSuccess);
  const std::string imported = host::sceneMayaAscii("own.ma");
  ASSERT_GT(largestRotateStep(jointposes::jointPaths("|own")), 180.0);
  ASSERT_EQ(host::select({"|own|Root"}), MS::kSuccess);
  ASSERT_EQ(host::importFile(path, "BVH", unfiltered + ";merge=true"), MS::kSuccess);
  EXPECT_EQ(host::sceneMayaAscii("own.ma"), imported);
}

}  // namespace

namespace {

// The scene's linear unit changes how Maya shows distances, not where the joints stand: keys
// and offsets go in in centimetres whatever it is.
TEST_F(ForwardKinematics, TheScenesLinearUnitChangesNoPose) {
  std::mt19937 random(41004);
  std::vector<Joint> joints = humanoid(random);
  setChannels(joints, random,
              [](const Joint&, const char* order) { return join(positions(), rotations(order)); });
  const std::string text = bvhText(
      joints, kFrames, randomMotion(random, [](const Joint& joint, int a, int f) {
        return joint.parent < 0 ? travel(a, f) : joint.offset[static_cast<std::size_t>(a)] * 1.2;
      }));
  for (const char* unit : {"m", "in", "cm"}) {
    host::resetScene();
    ASSERT_EQ(host::runCommand("currentUnit", {"-l", unit}), MS::kSuccess);
    check(std::string("unit_") + unit, text, 1.5);
  }
}

}  // namespace
