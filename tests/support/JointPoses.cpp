#include "support/JointPoses.h"

#include <maya/MFn.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <variant>

#include "host/HostScene.h"
#include "support/TestMatrix.h"

namespace jointposes {
namespace {

using testmatrix::identity;
using testmatrix::kPi;
using testmatrix::Matrix;
using testmatrix::operator*;
using testmatrix::turn;

const char* const kPlugs[6] = {"translateX", "translateY", "translateZ",
                               "rotateX",    "rotateY",    "rotateZ"};
// The axes of each rotateOrder value (xyz, yzx, zxy, xzy, yxz, zyx) in the order they turn.
constexpr int kOrderAxes[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {0, 2, 1}, {1, 0, 2}, {2, 1, 0}};

// Degrees about X, Y and Z, turned in the order's sequence: the first axis turns first, so its
// matrix stands rightmost.
Matrix rotation(const Vector& degrees, int order) {
  const int* axes = kOrderAxes[order >= 0 && order < 6 ? order : 0];
  Matrix m = identity();
  for (int i = 0; i < 3; ++i) m = turn(axes[i], degrees[static_cast<std::size_t>(axes[i])]) * m;
  return m;
}

// The three children of a vector attribute ("translate": translateX, ...) as the plugs hold them,
// in internal units (centimetres, radians: whatever the scene's UI units), angles in degrees.
Vector vectorOf(const std::string& node, const std::string& attribute, bool angle) {
  MStatus status;
  MFnDependencyNode fn(host::findNode(node), &status);
  if (!status) return Vector{};
  Vector result{};
  for (std::size_t axis = 0; axis < 3; ++axis) {
    const MPlug plug = fn.findPlug((attribute + "XYZ"[axis]).c_str(), false, &status);
    if (!status) return Vector{};
    result[axis] = plug.asDouble() * (angle ? 180 / kPi : 1.0);
  }
  return result;
}

int orderOf(const std::string& node) {
  host::Value value;
  if (host::getAttribute(node + ".rotateOrder", value) != MS::kSuccess) return 0;
  const auto* order = std::get_if<int>(&value);
  return order != nullptr ? *order : 0;
}

// The curve driving node.plug, or a null object.
MObject curveOf(const std::string& node, const char* plug) {
  MStatus status;
  MFnDependencyNode fn(host::findNode(node), &status);
  if (!status) return MObject::kNullObj;
  const MPlug found = fn.findPlug(plug, false, &status);
  if (!status) return MObject::kNullObj;
  MFnAnimCurve curve(found, &status);
  if (!status) return MObject::kNullObj;
  return curve.object();
}

// Translate and rotate (degrees) of the node at the time.
std::array<double, 6> valuesAt(const std::string& node, double seconds) {
  const Vector translate = vectorOf(node, "translate", false);
  const Vector rotate = vectorOf(node, "rotate", true);
  std::array<double, 6> values = {translate[0], translate[1], translate[2],
                                  rotate[0],    rotate[1],    rotate[2]};
  for (int i = 0; i < 6; ++i) {
    const MObject object = curveOf(node, kPlugs[i]);
    if (object.isNull()) continue;
    MFnAnimCurve curve(object);
    double value = curve.evaluate(MTime(seconds, MTime::kSeconds));
    if (i >= 3 && curve.animCurveType() == MFnAnimCurve::kAnimCurveTA) value *= 180 / kPi;
    values[static_cast<std::size_t>(i)] = value;
  }
  return values;
}

bool isJoint(const std::string& node) { return host::findNode(node).hasFn(MFn::kJoint); }

Matrix localMatrix(const std::string& node, double seconds, const Values& given) {
  const auto found = given.find(node);
  const std::array<double, 6> values =
      found != given.end() ? found->second : valuesAt(node, seconds);
  Matrix m = identity();
  for (int i = 0; i < 3; ++i) m[i][3] = values[static_cast<std::size_t>(i)];
  if (isJoint(node)) m = m * rotation(vectorOf(node, "jointOrient", true), 0);
  // The rotate axis turns first, in XYZ order whatever the rotate order.
  return m * rotation({values[3], values[4], values[5]}, orderOf(node)) *
         rotation(vectorOf(node, "rotateAxis", true), 0);
}

void addJoints(const MObject& node, std::vector<std::string>& paths) {
  MFnDagNode dag(node);
  for (unsigned int i = 0; i < dag.childCount(); ++i) {
    const MObject child = dag.child(i);
    if (child.hasFn(MFn::kJoint)) paths.emplace_back(MFnDagNode(child).fullPathName().asChar());
    addJoints(child, paths);
  }
}

}  // namespace

std::vector<std::string> jointPaths(const std::string& top) {
  std::vector<std::string> paths;
  const MObject node = host::findNode(top);
  if (!node.isNull()) addJoints(node, paths);
  return paths;
}

std::vector<double> keyTimes(const std::vector<std::string>& joints) {
  std::set<double> times;
  for (const std::string& joint : joints) {
    for (const char* plug : kPlugs) {
      const MObject object = curveOf(joint, plug);
      if (object.isNull()) continue;
      MFnAnimCurve curve(object);
      for (unsigned int k = 0; k < curve.numKeys(); ++k) {
        times.insert(curve.time(k).as(MTime::kSeconds));
      }
    }
  }
  return std::vector<double>(times.begin(), times.end());
}

std::vector<Vector> worldPositions(const std::vector<std::string>& joints, double seconds,
                                   const Values& given) {
  std::map<std::string, Matrix> worlds;
  // The product of the local matrices of every DAG node from the top of the path down.
  std::function<const Matrix&(const std::string&)> worldOf =
      [&](const std::string& path) -> const Matrix& {
    const auto known = worlds.find(path);
    if (known != worlds.end()) return known->second;
    const std::size_t bar = path.rfind('|');
    const Matrix above =
        bar == 0 || bar == std::string::npos ? identity() : worldOf(path.substr(0, bar));
    return worlds.emplace(path, above * localMatrix(path, seconds, given)).first->second;
  };
  std::vector<Vector> positions;
  for (const std::string& joint : joints) {
    const Matrix& world = worldOf(joint);
    positions.push_back({world[0][3], world[1][3], world[2][3]});
  }
  return positions;
}

}  // namespace jointposes
