#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

// World positions of a scene's joints worked out from the host scene's attributes alone, as Maya
// places a joint: translate, then jointOrient, then rotate in the joint's rotateOrder, then
// rotateAxis (outermost first), below every transform above it. A plug driven by an animation curve
// takes the curve's value at the time asked (a time-to-distance curve on a rotate plug holds
// degrees, a time-to-angle one radians); any other plug its value in internal units
// (centimetres, radians), whatever the scene's UI units. Main thread only.
namespace jointposes {

using Vector = std::array<double, 3>;

// DAG paths of the joints below `top` (a path such as "|walk"), parents before children, siblings
// in the scene's child order.
std::vector<std::string> jointPaths(const std::string& top);

// Every distinct key time (seconds, ascending) on the curves driving the joints' translate and
// rotate plugs.
std::vector<double> keyTimes(const std::vector<std::string>& joints);

// Translate and rotate (degrees) of a node, by its path, in place of what the scene says.
using Values = std::map<std::string, std::array<double, 6>>;

// The world position of each joint at `seconds`.
std::vector<Vector> worldPositions(const std::vector<std::string>& joints, double seconds,
                                   const Values& given = {});

}  // namespace jointposes
