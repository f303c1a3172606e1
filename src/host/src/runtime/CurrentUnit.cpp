#include "runtime/CurrentUnit.h"

#include "model/Scene.h"
#include "model/Units.h"
#include "runtime/Session.h"

namespace host {

namespace {

enum class Which { kNone, kLinear, kAngle, kTime };

Which flagOf(const std::string& arg) {
  if (arg == "-l" || arg == "-linear") return Which::kLinear;
  if (arg == "-a" || arg == "-angle") return Which::kAngle;
  if (arg == "-t" || arg == "-time") return Which::kTime;
  return Which::kNone;
}

MStatus fail(const std::string& message) {
  Session::instance().scene.displayError("currentUnit: " + message);
  return MS::kInvalidParameter;
}

void setResult(const std::string& result) {
  Session::instance().commandResult = result;
  Session::instance().commandResults = {result};
}

}  // namespace

MStatus runCurrentUnit(const std::vector<std::string>& args) {
  Session& session = Session::instance();
  session.commandResult.clear();
  session.commandResults.clear();
  bool query = false;
  bool full = false;
  for (const auto& arg : args) {
    if (arg == "-q" || arg == "-query") query = true;
    if (arg == "-f" || arg == "-fullName") full = true;
  }
  UiUnits units = session.scene.uiUnits();
  std::vector<Which> queried;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-q" || arg == "-query" || arg == "-f" || arg == "-fullName") continue;
    const Which which = flagOf(arg);
    if (which == Which::kNone) return fail("Invalid flag '" + arg + "'");
    if (query) {
      queried.push_back(which);
      continue;
    }
    if (i + 1 >= args.size()) return fail("Flag '" + arg + "' needs a unit");
    const std::string& name = args[++i];
    const bool known = which == Which::kLinear  ? parseLinear(name, units.linear)
                       : which == Which::kAngle ? parseAngle(name, units.angle)
                                                : parseTime(name, units.time);
    if (!known) return fail("'" + name + "' is no unit of flag '" + arg + "'");
  }
  if (!query) {
    session.scene.setUiUnits(units);
    return MS::kSuccess;
  }
  if (queried.size() != 1) return fail("query one of -linear, -angle and -time");
  switch (queried.front()) {
    case Which::kLinear:
      setResult(linearName(units.linear, full));
      break;
    case Which::kAngle:
      setResult(angleName(units.angle, full));
      break;
    case Which::kTime:
    case Which::kNone:
      setResult(timeName(units.time));
      break;
  }
  return MS::kSuccess;
}

}  // namespace host
