#include "scene/exportSkeleton.h"

#include <maya/MAnimControl.h>
#include <maya/MDagPath.h>
#include <maya/MEulerRotation.h>
#include <maya/MFn.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnIkJoint.h>
#include <maya/MGlobal.h>
#include <maya/MItDag.h>
#include <maya/MItSelectionList.h>
#include <maya/MMatrix.h>
#include <maya/MPlug.h>
#include <maya/MQuaternion.h>
#include <maya/MSelectionList.h>
#include <maya/MTime.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MTypes.h>
#include <maya/MVector.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

#include "motion/EulerFilter.h"
#include "motion/RotationOrder.h"
#include "scene/standardRateUnit.h"

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
constexpr std::size_t kBlockBytes = 1 << 20;
const char* const kPlugNames[6] = {"translateX", "translateY", "translateZ",
                                   "rotateX",    "rotateY",    "rotateZ"};

bool isJoint(const MObject& node) { return !node.isNull() && node.hasFn(MFn::kJoint); }

MString pathOf(const MObject& node) {
  MDagPath path;
  if (!MDagPath::getAPathTo(node, path)) return MString();
  return path.fullPathName();
}

bool hasJointAbove(const MObject& node) {
  MFnDagNode fn(node);
  return fn.parentCount() > 0 && isJoint(fn.parent(0));
}

MString severalSkeletons(const char* where, const std::vector<MObject>& roots, const char* hint) {
  MString text = where;
  text += " holds several skeletons (";
  for (std::size_t i = 0; i < roots.size(); ++i) {
    if (i > 0) text += ", ";
    text += pathOf(roots[i]);
  }
  text += "); ";
  text += hint;
  return text;
}

// A joint's value along one of its plugs at any time: its curve's, or the plug's own.
class Channel {
 public:
  MStatus attach(const MObject& node, int plug) {
    MStatus status;
    MFnDependencyNode fn(node, &status);
    if (!status) return status;
    MPlug found = fn.findPlug(kPlugNames[plug], false, &status);
    if (!status) return status;
    MStatus driven;
    curve = std::make_unique<MFnAnimCurve>(found, &driven);
    if (driven) {
      // An angle on a linear curve (made by earlier versions) is in degrees.
      factor = plug >= 3 && curve->animCurveType() != MFnAnimCurve::kAnimCurveTA ? kRadiansPerDegree
                                                                                 : 1.0;
      return MS::kSuccess;
    }
    curve.reset();
    constant = found.asDouble(&status);
    return status;
  }

  bool animated() const { return curve != nullptr; }
  const MFnAnimCurve* driver() const { return curve.get(); }

  double at(const MTime& time) const { return curve ? curve->evaluate(time) * factor : constant; }

 private:
  std::unique_ptr<MFnAnimCurve> curve;
  double factor = 1.0;
  double constant = 0.0;
};

struct Joint {
  MObject node;
  std::string name;
  int depth = 0;
  bool endSite = false;      // a leaf that stands still: an End Site
  bool positions = false;    // Xposition Yposition Zposition before the rotations
  bool closingSite = false;  // a leaf with channels, closed by an End Site at its own origin
  Channel channels[6];
  MEulerRotation::RotationOrder order = MEulerRotation::kXYZ;
  int axes[3] = {2, 1, 0};  // each rotation channel's axis, as listed
  // Rotate axis before and joint orient after rotate; direct when both are nothing.
  bool direct = true;
  MMatrix axis;
  MMatrix orient;
  std::unique_ptr<EulerFilter> filter;
};

const char kAxisLetters[3] = {'X', 'Y', 'Z'};

// The letters of a rotate order, first turned first.
const char* orderLetters(MEulerRotation::RotationOrder order) {
  static const char* const kLetters[6] = {"XYZ", "YZX", "ZXY", "XZY", "YXZ", "ZYX"};
  return kLetters[order];
}

RotationOrder filterOrder(MEulerRotation::RotationOrder order) {
  static const RotationOrder kOrders[6] = {kOrderXYZ, kOrderYZX, kOrderZXY,
                                           kOrderXZY, kOrderYXZ, kOrderZYX};
  return kOrders[order];
}

MStatus describeJoint(const MObject& node, int depth, bool leaf, Joint& joint) {
  MStatus status;
  MFnIkJoint fn(node, &status);
  if (!status) return status;
  joint.node = node;
  joint.depth = depth;
  joint.name = fn.name(&status).asUTF8();
  if (!status) return status;
  for (int plug = 0; plug < 6; ++plug) {
    status = joint.channels[plug].attach(node, plug);
    if (!status) return status;
  }
  const bool moves =
      joint.channels[0].animated() || joint.channels[1].animated() || joint.channels[2].animated();
  joint.positions = depth == 0 || moves;
  const bool turns =
      joint.channels[3].animated() || joint.channels[4].animated() || joint.channels[5].animated();
  joint.endSite = depth > 0 && leaf && !moves && !turns;
  joint.closingSite = leaf && !joint.endSite;

  const MTransformationMatrix::RotationOrder order = fn.rotationOrder(&status);
  if (!status) return status;
  if (order > MTransformationMatrix::kInvalid && order < MTransformationMatrix::kLast) {
    joint.order = static_cast<MEulerRotation::RotationOrder>(static_cast<int>(order) - 1);
  }
  // A BVH file lists the rotations last turned first: the reverse of the rotate order.
  const char* letters = orderLetters(joint.order);
  for (int i = 0; i < 3; ++i) joint.axes[i] = letters[2 - i] - 'X';
  joint.filter = std::make_unique<EulerFilter>(filterOrder(joint.order));

  MEulerRotation orient;
  status = fn.getOrientation(orient);
  if (!status) return status;
  const MQuaternion axis = fn.rotateOrientation(MSpace::kTransform, &status);
  if (!status) return status;
  joint.direct = orient.isZero(0.0) && axis.isEquivalent(MQuaternion::identity, 0.0);
  joint.axis = axis.asMatrix();
  joint.orient = orient.asMatrix();
  return MS::kSuccess;
}

// The hierarchy below root, parents before children, siblings in order.
MStatus describeSkeleton(const MObject& root, std::vector<Joint>& joints) {
  std::vector<std::pair<MObject, int>> pending = {{root, 0}};
  while (!pending.empty()) {
    const auto [node, depth] = pending.back();
    pending.pop_back();
    MStatus status;
    MFnDagNode fn(node, &status);
    if (!status) return status;
    std::vector<MObject> children;
    const unsigned int count = fn.childCount(&status);
    if (!status) return status;
    for (unsigned int i = 0; i < count; ++i) {
      MObject child = fn.child(i, &status);
      if (!status) return status;
      if (isJoint(child)) children.push_back(child);
    }
    joints.emplace_back();
    status = describeJoint(node, depth, children.empty(), joints.back());
    if (!status) return status;
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
      pending.emplace_back(*child, depth + 1);
    }
  }
  return MS::kSuccess;
}

// The frames written: count of them from `first`, each `step` of `unit` after the one before.
struct FrameGrid {
  MTime::Unit unit = MTime::kSeconds;
  double first = 0.0;  // in unit
  double step = 1.0;   // in unit
  std::uint64_t count = 1;

  MTime at(std::uint64_t frame) const {
    return MTime(first + static_cast<double>(frame) * step, unit);
  }
  double seconds() const { return MTime(step, unit).as(MTime::kSeconds); }
};

void setRate(double frameTime, FrameGrid& grid) {
  const MTime::Unit unit = standardRateUnit(frameTime);
  if (unit != MTime::kInvalid) {
    grid.unit = unit;
    grid.step = 1.0;
  } else {
    grid.unit = MTime::kSeconds;
    grid.step = frameTime;
  }
}

// Whether each curve's keys are a whole number of intervals after `first` and one interval
// apart, as an import keys them: n keys spanning n - 1 intervals, none closer than one.
bool onGrid(const std::vector<Joint>& joints, double first, double interval) {
  auto whole = [](double steps) { return std::fabs(steps - std::round(steps)) <= 1e-4; };
  for (const Joint& joint : joints) {
    for (const Channel& channel : joint.channels) {
      const MFnAnimCurve* curve = channel.driver();
      const unsigned int count = curve == nullptr ? 0 : curve->numKeys();
      if (count == 0) continue;
      const double begin = curve->time(0).as(MTime::kSeconds);
      const double span = (curve->time(count - 1).as(MTime::kSeconds) - begin) / interval;
      if (!whole((begin - first) / interval) || !whole(span) ||
          std::round(span) != static_cast<double>(count - 1)) {
        return false;
      }
    }
  }
  return true;
}

FrameGrid frameGrid(const std::vector<Joint>& joints, const ExportOptions& options) {
  bool keyed = false;
  MTime first;
  MTime last;
  // Seconds, the smallest of the curves' average intervals between keys: on a grid, the grid's.
  double interval = 0.0;
  for (const Joint& joint : joints) {
    for (const Channel& channel : joint.channels) {
      const MFnAnimCurve* curve = channel.driver();
      const unsigned int count = curve == nullptr ? 0 : curve->numKeys();
      if (count == 0) continue;
      const MTime begin = curve->time(0);
      const MTime end = curve->time(count - 1);
      if (!keyed || begin < first) first = begin;
      if (!keyed || end > last) last = end;
      keyed = true;
      if (count < 2) continue;
      const double average =
          (end.as(MTime::kSeconds) - begin.as(MTime::kSeconds)) / static_cast<double>(count - 1);
      if (average > 1e-7 && (interval == 0.0 || average < interval)) interval = average;
    }
  }
  if (!keyed) first = last = MAnimControl::currentTime();
  FrameGrid grid;
  grid.unit = MTime::uiUnit();
  const double sceneFrame = MTime(1.0, grid.unit).as(MTime::kSeconds);
  if (options.frameRate > 0.0) {
    setRate(1.0 / options.frameRate, grid);
  } else if (interval > 0.0 &&
             (interval <= sceneFrame * 1.001 || standardRateUnit(interval) != MTime::kInvalid) &&
             onGrid(joints, first.as(MTime::kSeconds), interval)) {
    // Keys at every frame of one rate, as an import makes them: that rate.
    setRate(interval, grid);
  }
  grid.first = first.as(grid.unit);
  // A last key within rounding of a frame is that frame.
  const double span = (last.as(grid.unit) - grid.first) / grid.step;
  grid.count = static_cast<std::uint64_t>(std::floor(span + 1e-6)) + 1;
  return grid;
}

void appendNumber(std::string& text, double value) {
  char digits[32];
  // Adding zero writes -0 as 0.
  const auto result = std::to_chars(digits, digits + sizeof digits, value + 0.0);
  text.append(digits, result.ptr);
}

void appendTabs(std::string& text, int count) {
  text.append(static_cast<std::size_t>(count), '\t');
}

void appendOffset(std::string& text, int depth, const std::array<double, 3>& offset) {
  appendTabs(text, depth);
  text += "OFFSET";
  for (double value : offset) {
    text += ' ';
    appendNumber(text, value);
  }
  text += '\n';
}

std::string hierarchyText(const std::vector<Joint>& joints, const MTime& start, double scale) {
  std::string text = "HIERARCHY\n";
  std::vector<int> open;
  auto close = [&](int depth) {
    while (!open.empty() && open.back() >= depth) {
      appendTabs(text, open.back());
      text += "}\n";
      open.pop_back();
    }
  };
  for (const Joint& joint : joints) {
    close(joint.depth);
    std::array<double, 3> offset{};
    for (int axis = 0; axis < 3; ++axis) {
      offset[static_cast<std::size_t>(axis)] = joint.channels[axis].at(start) / scale;
    }
    appendTabs(text, joint.depth);
    if (joint.endSite) {
      text += "End Site\n";
    } else {
      text += joint.depth == 0 ? "ROOT " : "JOINT ";
      text += joint.name;
      text += '\n';
    }
    appendTabs(text, joint.depth);
    text += "{\n";
    open.push_back(joint.depth);
    appendOffset(text, joint.depth + 1, offset);
    if (joint.endSite) continue;
    appendTabs(text, joint.depth + 1);
    text += joint.positions ? "CHANNELS 6 Xposition Yposition Zposition" : "CHANNELS 3";
    for (int axis : joint.axes) {
      text += ' ';
      text += kAxisLetters[axis];
      text += "rotation";
    }
    text += '\n';
    if (joint.closingSite) {
      appendTabs(text, joint.depth + 1);
      text += "End Site\n";
      appendTabs(text, joint.depth + 1);
      text += "{\n";
      appendOffset(text, joint.depth + 2, {0.0, 0.0, 0.0});
      appendTabs(text, joint.depth + 1);
      text += "}\n";
    }
  }
  close(0);
  return text;
}

// The joint's rotation at the time as angles about X, Y and Z (degrees) in its rotate order.
std::array<double, 3> rotationAt(Joint& joint, const MTime& time) {
  std::array<double, 3> radians = {joint.channels[3].at(time), joint.channels[4].at(time),
                                   joint.channels[5].at(time)};
  if (!joint.direct) {
    // Maya turns a joint by rotate axis, then rotate, then joint orient (row vectors).
    const MEulerRotation rotate(radians[0], radians[1], radians[2], joint.order);
    const MEulerRotation whole =
        MEulerRotation::decompose(joint.axis * rotate.asMatrix() * joint.orient, joint.order);
    radians = {whole.x, whole.y, whole.z};
  }
  return joint.filter->next({radians[0] / kRadiansPerDegree, radians[1] / kRadiansPerDegree,
                             radians[2] / kRadiansPerDegree});
}

}  // namespace

MStatus findExportRoot(bool selection, MObject& root, MString& failure) {
  std::vector<MObject> roots;
  MStatus status;
  if (selection) {
    MSelectionList list;
    status = MGlobal::getActiveSelectionList(list);
    if (!status) return status;
    if (list.length() == 0) {
      failure = "nothing is selected; select the root joint of the skeleton to export";
      return MS::kInvalidParameter;
    }
    std::vector<MObject> joints;
    for (MItSelectionList it(list, MFn::kJoint); !it.isDone(); it.next()) {
      MObject node;
      status = it.getDependNode(node);
      if (!status) return status;
      joints.push_back(node);
    }
    if (joints.empty()) {
      failure = "the selection holds no joint; select the root joint of the skeleton to export";
      return MS::kInvalidParameter;
    }
    // A joint below another selected one is part of that one's hierarchy.
    for (const MObject& joint : joints) {
      bool below = false;
      MObject above = MFnDagNode(joint).parent(0);
      while (!below && isJoint(above)) {
        below = std::find(joints.begin(), joints.end(), above) != joints.end();
        above = MFnDagNode(above).parent(0);
      }
      if (!below && std::find(roots.begin(), roots.end(), joint) == roots.end()) {
        roots.push_back(joint);
      }
    }
    if (roots.size() > 1) {
      failure = severalSkeletons("the selection", roots, "select the root joint of one");
      return MS::kInvalidParameter;
    }
  } else {
    for (MItDag it(MItDag::kDepthFirst, MFn::kJoint, &status); status && !it.isDone(); it.next()) {
      MObject node = it.currentItem(&status);
      if (!status) return status;
      if (!hasJointAbove(node)) roots.push_back(node);
    }
    if (!status) return status;
    if (roots.empty()) {
      failure = "the scene holds no joint";
      return MS::kInvalidParameter;
    }
    if (roots.size() > 1) {
      failure = severalSkeletons("the scene", roots,
                                 "select the root joint of one and export the selection");
      return MS::kInvalidParameter;
    }
  }
  root = roots.front();
  return MS::kSuccess;
}

MStatus exportSkeleton(const MObject& root, const std::string& path, const ExportOptions& options,
                       MString& failure) {
  if (!(options.scale > 0.0) || !std::isfinite(options.scale)) {
    failure = "the scale must be a number above 0";
    return MS::kInvalidParameter;
  }
  if (options.frameRate < 0.0 || !std::isfinite(options.frameRate)) {
    failure = "the frame rate must be a number above 0";
    return MS::kInvalidParameter;
  }
  std::vector<Joint> joints;
  MStatus status = describeSkeleton(root, joints);
  if (!status) {
    failure = "the skeleton could not be read ";
    failure += status.errorString();
    return status;
  }
  const FrameGrid grid = frameGrid(joints, options);
  const std::uint64_t end = options.endFrame == kNotGiven
                                ? grid.count
                                : std::min<std::uint64_t>(options.endFrame, grid.count);
  if (options.startFrame >= end) {
    failure = "the frames asked for lie outside the ";
    failure += static_cast<unsigned int>(grid.count);
    failure += grid.count == 1 ? " frame there is" : " frames there are";
    return MS::kInvalidParameter;
  }

  const std::filesystem::path target = std::filesystem::u8path(path);
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  bool written = false;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out) {
      std::string text = hierarchyText(joints, grid.at(options.startFrame), options.scale);
      text.reserve(kBlockBytes + (1 << 16));
      text += "MOTION\nFrames: " + std::to_string(end - options.startFrame) + "\nFrame Time: ";
      appendNumber(text, grid.seconds());
      text += '\n';
      for (std::uint64_t frame = options.startFrame; out && frame < end; ++frame) {
        // Written in blocks: memory stays bounded however many frames, with few writes.
        if (text.size() >= kBlockBytes) {
          out.write(text.data(), static_cast<std::streamsize>(text.size()));
          text.clear();
        }
        const MTime time = grid.at(frame);
        for (Joint& joint : joints) {
          if (joint.endSite) continue;
          if (joint.positions) {
            for (int axis = 0; axis < 3; ++axis) {
              appendNumber(text, joint.channels[axis].at(time) / options.scale);
              text += ' ';
            }
          }
          const std::array<double, 3> degrees = rotationAt(joint, time);
          for (int axis : joint.axes) {
            appendNumber(text, degrees[static_cast<std::size_t>(axis)]);
            text += ' ';
          }
        }
        if (!text.empty() && text.back() == ' ') text.back() = '\n';
      }
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      out.close();
      written = !out.fail();
    }
  }
  std::error_code error;
  if (written) {
    std::filesystem::rename(temporary, target, error);
    if (!error) return MS::kSuccess;
  }
  std::filesystem::remove(temporary, error);
  failure = "the file could not be written";
  return MS::kFailure;
}
