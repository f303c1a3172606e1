#include <host/SceneMayaAscii.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "model/AnimCurve.h"
#include "model/Attribute.h"
#include "model/Node.h"
#include "model/NodeType.h"
#include "model/NumberText.h"
#include "model/Scene.h"
#include "model/Ticks.h"
#include "model/Units.h"
#include "runtime/Session.h"

namespace host {

namespace {

// A key this close to a whole frame counts as on it: key times pass through single-precision
// frame times and whole ticks on their way in.
constexpr double kWholeFrameTolerance = 1e-3;

// Maya's whole-number frame rates, lowest first: the candidates for a file's time unit.
const MTime::Unit kFrameRates[] = {
    MTime::k2FPS,     MTime::k3FPS,     MTime::k4FPS,      MTime::k5FPS,      MTime::k6FPS,
    MTime::k8FPS,     MTime::k10FPS,    MTime::k12FPS,     MTime::kGames,     MTime::k16FPS,
    MTime::k20FPS,    MTime::kFilm,     MTime::kPALFrame,  MTime::kNTSCFrame, MTime::k40FPS,
    MTime::kShowScan, MTime::kPALField, MTime::kNTSCField, MTime::k75FPS,     MTime::k80FPS,
    MTime::k90FPS,    MTime::k100FPS,   MTime::k120FPS,    MTime::k125FPS,    MTime::k150FPS,
    MTime::k200FPS,   MTime::k240FPS,   MTime::k250FPS,    MTime::k300FPS,    MTime::k375FPS,
    MTime::k400FPS,   MTime::k500FPS,   MTime::k600FPS,    MTime::k750FPS,    MTime::k1200FPS,
    MTime::k1500FPS,  MTime::k2000FPS,  MTime::k3000FPS,   MTime::k6000FPS,
};

// The tangent type Maya gives new keys, written as the curve's ".tan".
constexpr Tangent kFileDefaultTangent = Tangent::kAuto;

double framesOf(long long ticks, MTime::Unit unit) { return secondsOf(ticks) / secondsPer(unit); }

bool onWholeFrame(double frames) {
  return std::fabs(frames - std::round(frames)) <= kWholeFrameTolerance;
}

// Whole frames as integers; others to 10 digits, past the noise of ticks and conversions.
std::string frameText(double frames) {
  if (onWholeFrame(frames)) return numberText(std::round(frames));
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", frames);
  return text;
}

bool allOnWholeFrames(const std::vector<const Node*>& curves, MTime::Unit unit) {
  for (const Node* curve : curves) {
    for (const CurveKey& key : AnimCurve::keysOf(*curve)) {
      if (!onWholeFrame(framesOf(key.ticks, unit))) return false;
    }
  }
  return true;
}

// The scene's time unit when every key falls on one of its frames, else the lowest rate that
// puts them all on whole frames, else the scene's.
MTime::Unit chooseTimeUnit(const std::vector<const Node*>& curves, MTime::Unit sceneUnit) {
  if (allOnWholeFrames(curves, sceneUnit)) return sceneUnit;
  for (MTime::Unit unit : kFrameRates) {
    if (allOnWholeFrames(curves, unit)) return unit;
  }
  return sceneUnit;
}

std::string quoted(const std::string& text) {
  std::string result = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') result += '\\';
    result += c;
  }
  return result + "\"";
}

// Maya's codes of tangent types in files (".kit", ".kot", ".tan").
int tangentCode(Tangent type) {
  switch (type) {
    case Tangent::kGlobal:
      return 0;
    case Tangent::kFixed:
      return 1;
    case Tangent::kLinear:
      return 2;
    case Tangent::kFlat:
      return 3;
    case Tangent::kStep:
      return 5;
    case Tangent::kSlow:
      return 6;
    case Tangent::kFast:
      return 7;
    case Tangent::kSmooth:
      return 9;
    case Tangent::kClamped:
      return 10;
    case Tangent::kPlateau:
      return 16;
    case Tangent::kStepNext:
      return 17;
    case Tangent::kAuto:
      return 18;
    case Tangent::kAutoMix:
      return 19;
    case Tangent::kAutoEase:
      return 20;
    case Tangent::kAutoCustom:
      return 21;
  }
  return 0;
}

class MayaAsciiWriter {
 public:
  explicit MayaAsciiWriter(const std::string& path) : fileName(path) {
    Scene& scene = Session::instance().scene;
    for (const auto& node : scene.nodes()) {
      ++nameCount[node->name()];
      if (node->type().isAnimCurve()) {
        curves.push_back(node.get());
        written[node.get()] = true;
      }
      if (node->type().name == "unitConversion") {
        conversions.push_back(node.get());
        written[node.get()] = true;
      }
      if (node->hasFn(MFn::kTransform) && node->parent() == nullptr) addDag(*node);
    }
  }

  std::string text() {
    const UiUnits& scene = Session::instance().scene.uiUnits();
    units = scene;
    units.time = chooseTimeUnit(curves, scene.time);
    out << "//Maya ASCII 2022 scene\n";
    out << "//Name: " << fileName << "\n";
    out << "//Codeset: UTF-8\n";
    out << "requires maya \"2022\";\n";
    out << "currentUnit -l " << linearName(units.linear, true) << " -a "
        << angleName(units.angle, true) << " -t " << timeName(units.time) << ";\n";
    out << "fileInfo \"application\" \"maya\";\n";
    out << "fileInfo \"product\" \"Maya 2022\";\n";
    out << "fileInfo \"version\" \"2022\";\n";
    for (const Node* node : dagNodes) writeTransform(*node);
    for (const Node* node : curves) writeCurve(*node);
    for (const Node* node : conversions) writeConversion(*node);
    writeTimeRange();
    for (const Node* node : dagNodes) writeConnections(*node);
    for (const Node* node : curves) writeConnections(*node);
    for (const Node* node : conversions) writeConnections(*node);
    out << "// End of " << fileName << "\n";
    return out.str();
  }

 private:
  // Parents before children, each DAG level in creation order.
  void addDag(const Node& node) {
    if (!node.hasFn(MFn::kTransform)) return;
    dagNodes.push_back(&node);
    written[&node] = true;
    for (const auto& child : node.children()) addDag(*child);
  }

  // The name when no other node has it, else the full path.
  std::string reference(const Node& node) {
    return nameCount[node.name()] > 1 ? Session::instance().scene.path(node) : node.name();
  }

  void writeVector(const Node& node, const char* name) {
    auto attribute = node.type().findAttribute(name);
    if (!attribute) return;
    double values[3];
    bool zero = true;
    for (std::size_t i = 0; i < 3; ++i) {
      const Attribute& child = *attribute->children[i];
      const auto* value = std::get_if<double>(&node.storedValue(child));
      values[i] = value ? shown(child.unit, *value) : 0.0;
      zero = zero && values[i] == 0.0;
    }
    if (zero) return;
    out << "\tsetAttr \"." << attribute->shortName << "\" -type \"double3\" "
        << numberText(values[0]) << " " << numberText(values[1]) << " " << numberText(values[2])
        << " ;\n";
  }

  void writeTransform(const Node& node) {
    out << "createNode " << node.type().name << " -n " << quoted(node.name());
    if (node.parent()) out << " -p " << quoted(reference(*node.parent()));
    out << ";\n";
    writeVector(node, "translate");
    writeVector(node, "rotate");
    if (auto order = node.type().findAttribute("rotateOrder")) {
      const auto* index = std::get_if<int>(&node.storedValue(*order));
      if (index && *index != 0) out << "\tsetAttr \".ro\" " << *index << ";\n";
    }
    writeVector(node, "rotateAxis");
    writeVector(node, "jointOrient");
  }

  // A value of the unit type in the file's units; rounded to 15 digits when converted, so
  // 30 degrees is written 30, not 29.999999999999996.
  double shown(AttributeUnit unit, double value) const {
    const double scale = internalPerUi(unit, units);
    if (scale == 1.0) return value;
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value / scale);
    return std::strtod(text, nullptr);
  }

  // Maya's way: the codes of the keys from the first to the last whose tangent is not the
  // curve's default, in one statement.
  void writeTangentTypes(const std::vector<CurveKey>& keys, const char* name, bool in) {
    std::size_t first = keys.size();
    std::size_t last = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if ((in ? keys[i].in : keys[i].out) == kFileDefaultTangent) continue;
      if (first == keys.size()) first = i;
      last = i;
    }
    if (first == keys.size()) return;
    out << "\tsetAttr -s " << keys.size() << " \"." << name << "[" << first;
    if (last > first) out << ":" << last;
    out << "]\" ";
    for (std::size_t i = first; i <= last; ++i) {
      out << " " << tangentCode(in ? keys[i].in : keys[i].out);
    }
    out << ";\n";
  }

  void writeCurve(const Node& node) {
    out << "createNode " << node.type().name << " -n " << quoted(node.name()) << ";\n";
    out << "\tsetAttr \".tan\" " << tangentCode(kFileDefaultTangent) << ";\n";
    out << "\tsetAttr \".wgt\" no;\n";
    const auto& keys = AnimCurve::keysOf(node);
    if (keys.empty()) return;
    auto output = node.type().findAttribute("output");
    const AttributeUnit unit = output ? output->unit : AttributeUnit::kNone;
    out << "\tsetAttr -s " << keys.size() << " \".ktv[0:" << keys.size() - 1 << "]\" ";
    for (std::size_t i = 0; i < keys.size(); ++i) {
      // Eight keys a line, continued as Maya continues long statements.
      out << (i % 8 == 0 && i > 0 ? "\n\t\t" : " ");
      out << frameText(framesOf(keys[i].ticks, units.time)) << " "
          << numberText(shown(unit, keys[i].value));
    }
    out << ";\n";
    writeTangentTypes(keys, "kit", true);
    writeTangentTypes(keys, "kot", false);
  }

  void writeConversion(const Node& node) {
    out << "createNode unitConversion -n " << quoted(node.name()) << ";\n";
    if (auto factor = node.type().findAttribute("conversionFactor")) {
      const double value = numberOf(node.storedValue(*factor)).value_or(1.0);
      if (value != 1.0) out << "\tsetAttr \".cf\" " << numberText(value) << ";\n";
    }
  }

  // Maya keeps the time slider's ranges in this script node, in the file's time unit.
  void writeTimeRange() {
    const TimeRange& range = Session::instance().scene.timeRange();
    auto frames = [&](const MTime& time) { return frameText(time.as(units.time)); };
    out << "createNode script -n \"sceneConfigurationScriptNode\";\n";
    out << "\tsetAttr \".b\" -type \"string\" \"playbackOptions -min " << frames(range.minTime)
        << " -max " << frames(range.maxTime) << " -ast " << frames(range.animationStart) << " -aet "
        << frames(range.animationEnd) << " \";\n";
    out << "\tsetAttr \".st\" 6;\n";
  }

  void writeConnections(const Node& node) {
    Scene& scene = Session::instance().scene;
    for (const auto& attribute : node.type().attributes) {
      for (const PlugEnd& end : scene.destinations(node, *attribute)) {
        if (!written[end.node.get()]) continue;
        out << "connectAttr " << quoted(reference(node) + "." + attribute->shortName) << " "
            << quoted(reference(*end.node) + "." + end.attribute->shortName) << ";\n";
      }
    }
  }

  std::string fileName;
  std::ostringstream out;
  std::map<std::string, int> nameCount;
  std::map<const Node*, bool> written;
  std::vector<const Node*> dagNodes;
  std::vector<const Node*> curves;
  std::vector<const Node*> conversions;
  UiUnits units;
};

}  // namespace

std::string sceneMayaAscii(const std::string& fileName) { return MayaAsciiWriter(fileName).text(); }

MStatus writeSceneMayaAscii(const std::string& path) {
  // UTF-8 by way of u8path: a narrow path is in the ANSI code page on Windows.
  const std::filesystem::path native = std::filesystem::u8path(path);
  std::ofstream file(native, std::ios::binary);
  file << sceneMayaAscii(native.filename().u8string());
  file.close();
  return file ? MS::kSuccess : MS::kFailure;
}

}  // namespace host
