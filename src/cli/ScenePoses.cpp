#include "ScenePoses.h"

#include <host/HostScene.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <variant>

namespace {

using Vector = ScenePoses::Vector;
using Matrix = std::array<Vector, 3>;  // rows; acts on column vectors

constexpr double kDegrees = 3.14159265358979323846 / 180.0;
const char* const kChannels[6] = {"translateX", "translateY", "translateZ",
                                  "rotateX",    "rotateY",    "rotateZ"};
// The axes of each rotate order in the order they apply: xyz turns about X first.
constexpr int kOrderAxes[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {0, 2, 1}, {1, 0, 2}, {2, 1, 0}};

Matrix identity() { return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}; }

Matrix multiply(const Matrix& a, const Matrix& b) {
  Matrix result{};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      for (int n = 0; n < 3; ++n) result[r][c] += a[r][n] * b[n][c];
    }
  }
  return result;
}

Vector rotated(const Matrix& m, const Vector& v) {
  Vector result{};
  for (int r = 0; r < 3; ++r) result[r] = m[r][0] * v[0] + m[r][1] * v[1] + m[r][2] * v[2];
  return result;
}

Matrix axisRotation(int axis, double angle) {
  Matrix result = identity();
  const int j = (axis + 1) % 3;
  const int k = (axis + 2) % 3;
  result[j][j] = std::cos(angle);
  result[j][k] = -std::sin(angle);
  result[k][j] = std::sin(angle);
  result[k][k] = std::cos(angle);
  return result;
}

// Radians about X, Y and Z, applied in the rotate order's sequence.
Matrix rotation(double x, double y, double z, int order) {
  const int* axes = kOrderAxes[order >= 0 && order < 6 ? order : 0];
  const double angles[3] = {x, y, z};
  Matrix result = identity();
  for (int i = 0; i < 3; ++i) result = multiply(axisRotation(axes[i], angles[axes[i]]), result);
  return result;
}

Vector vectorOf(const std::string& plug) {
  host::Value value;
  if (!host::getAttribute(plug, value)) return Vector{};
  const auto* vector = std::get_if<Vector>(&value);
  return vector ? *vector : Vector{};
}

}  // namespace

ScenePoses::ScenePoses() {
  std::map<std::string, int> indexOf;
  unsigned int mostKeys = 0;
  // Adds the node at the path after the DAG nodes above it; its index.
  std::function<int(const std::string&)> add = [&](const std::string& path) -> int {
    const auto known = indexOf.find(path);
    if (known != indexOf.end()) return known->second;
    const std::size_t bar = path.find_last_of('|');
    Node node;
    node.parent = bar == 0 || bar == std::string::npos ? -1 : add(path.substr(0, bar));

    host::Value order;
    if (host::getAttribute(path + ".rotateOrder", order) && std::holds_alternative<int>(order)) {
      node.order = std::get<int>(order);
    }
    const Vector translate = vectorOf(path + ".translate");
    const Vector rotate = vectorOf(path + ".rotate");
    for (std::size_t axis = 0; axis < 3; ++axis) {
      node.values[axis] = translate[axis];
      node.values[axis + 3] = rotate[axis] * kDegrees;
    }
    const Vector orient = vectorOf(path + ".jointOrient");
    node.orient = rotation(orient[0] * kDegrees, orient[1] * kDegrees, orient[2] * kDegrees, 0);

    MFnDependencyNode dependency(host::findNode(path));
    for (std::size_t channel = 0; channel < 6; ++channel) {
      MStatus status;
      const MPlug plug = dependency.findPlug(kChannels[channel], true, &status);
      if (!status) continue;
      const MFnAnimCurve curve(plug, &status);
      if (!status) continue;
      node.curves[channel] = curve.object();
      // The translator keys rotations in degrees on time-to-distance curves; a time-to-angle
      // curve holds radians.
      node.curveScale[channel] =
          channel < 3 || curve.animCurveType() == MFnAnimCurve::kAnimCurveTA ? 1.0 : kDegrees;
      const unsigned int keys = curve.numKeys();
      if (keys == 0) continue;
      const double first = curve.time(0).as(MTime::kSeconds);
      const double last = curve.time(keys - 1).as(MTime::kSeconds);
      firstKey = mostKeys == 0 ? first : std::min(firstKey, first);
      if (keys > mostKeys) {
        mostKeys = keys;
        step = keys > 1 ? (last - first) / (keys - 1) : 0.0;
      }
    }
    nodes.push_back(node);
    indexOf.emplace(path, static_cast<int>(nodes.size() - 1));
    return static_cast<int>(nodes.size() - 1);
  };

  std::map<int, int> jointOfNode;
  for (const std::string& path : host::listNodes("joint")) {
    const int node = add(path);
    int parent = -1;
    for (int above = nodes[node].parent; above >= 0 && parent < 0; above = nodes[above].parent) {
      const auto joint = jointOfNode.find(above);
      if (joint != jointOfNode.end()) parent = joint->second;
    }
    jointOfNode.emplace(node, static_cast<int>(jointList.size()));
    jointList.push_back({path, parent});
    jointNodes.push_back(node);
  }
  frameCount = std::max(mostKeys, 1u);
}

std::vector<ScenePoses::Vector> ScenePoses::positionsAt(double seconds) const {
  const MTime time(seconds, MTime::kSeconds);
  std::vector<Matrix> turns(nodes.size());
  std::vector<Vector> places(nodes.size());
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const Node& node = nodes[i];
    std::array<double, 6> values = node.values;
    for (std::size_t channel = 0; channel < 6; ++channel) {
      if (node.curves[channel].isNull()) continue;
      const MFnAnimCurve curve(node.curves[channel]);
      values[channel] = curve.evaluate(time) * node.curveScale[channel];
    }
    // A child's point p lands at parent * translate * jointOrient * rotate * p.
    const Matrix local =
        multiply(node.orient, rotation(values[3], values[4], values[5], node.order));
    const Vector translate{values[0], values[1], values[2]};
    if (node.parent < 0) {
      places[i] = translate;
      turns[i] = local;
      continue;
    }
    const auto parent = static_cast<std::size_t>(node.parent);
    const Vector offset = rotated(turns[parent], translate);
    for (std::size_t axis = 0; axis < 3; ++axis)
      places[i][axis] = places[parent][axis] + offset[axis];
    turns[i] = multiply(turns[parent], local);
  }
  std::vector<Vector> positions;
  positions.reserve(jointNodes.size());
  for (int node : jointNodes) positions.push_back(places[static_cast<std::size_t>(node)]);
  return positions;
}
