#pragma once

#include <maya/MObject.h>

#include <array>
#include <string>
#include <vector>

// The joints of the host's scene and where they stand in the world at any time: each joint's
// and each DAG parent's translate, rotate in its rotate order and joint orient, read from the
// animation curves that drive them where there are some (evaluated as the host evaluates curves)
// and from the stored values elsewhere. Reads the scene when made and refers to its curves: use
// it on the main thread while the scene stays as it was.
class ScenePoses {
 public:
  using Vector = std::array<double, 3>;

  struct Joint {
    std::string path;
    int parent = -1;  // index of the nearest joint above it; -1 when none is
  };

  ScenePoses();

  // Every joint of the scene, in creation order (parents before children).
  const std::vector<Joint>& joints() const { return jointList; }

  // The keyed span: the earliest key, the time between frames (the keys of the curve with the
  // most keys, taken as evenly spaced) and the number of frames. Without keys: 1 frame at 0 s.
  double start() const { return firstKey; }
  double frameTime() const { return step; }
  unsigned int frames() const { return frameCount; }

  // World positions of the joints at the time, in seconds, in the order of joints().
  std::vector<Vector> positionsAt(double seconds) const;

 private:
  // A DAG node on the way to a joint: a joint itself or a transform above one.
  struct Node {
    int parent = -1;  // index in nodes; -1 at the top of the scene
    int order = 0;    // rotate order, as the rotateOrder attribute numbers them (0 xyz ... 5 zyx)
    // translate x, y, z then rotate x, y, z (radians)
    std::array<double, 6> values{};
    std::array<MObject, 6> curves;
    std::array<double, 6> curveScale{};  // from a curve's value to the channel's unit
    std::array<Vector, 3> orient{};      // the joint orient as a rotation matrix (rows)
  };

  std::vector<Node> nodes;  // parents before children
  std::vector<Joint> jointList;
  std::vector<int> jointNodes;  // the node of each joint
  double firstKey = 0;
  double step = 0;
  unsigned int frameCount = 1;
};
