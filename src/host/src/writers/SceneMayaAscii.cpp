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
#include "runtime/Session.h"

namespace host {

namespace {

constexpr double kPi = 3.14159265358979323846;
// A key this close to a whole frame counts as on it: key times pass through single-precision
// frame times and whole ticks on their way in.
constexpr double kWholeFrameTolerance = 1e-3;

struct TimeUnit {
  const char* name;
  double framesPerSecond;
};

// Maya's named frame rates, lowest first.
const TimeUnit kTimeUnits[] = {
    {"2fps", 2},       {"3fps", 3},       {"4fps", 4},       {"5fps", 5},       {"6fps", 6},
    {"8fps", 8},       {"10fps", 10},     {"12fps", 12},     {"game", 15},      {"16fps", 16},
    {"20fps", 20},     {"film", 24},      {"pal", 25},       {"ntsc", 30},      {"40fps", 40},
    {"show", 48},      {"palf", 50},      {"ntscf", 60},     {"75fps", 75},     {"80fps", 80},
    {"100fps", 100},   {"120fps", 120},   {"125fps", 125},   {"150fps", 150},   {"200fps", 200},
    {"240fps", 240},   {"250fps", 250},   {"300fps", 300},   {"375fps", 375},   {"400fps", 400},
    {"500fps", 500},   {"600fps", 600},   {"750fps", 750},   {"1200fps", 1200}, {"1500fps", 1500},
    {"2000fps", 2000}, {"3000fps", 3000}, {"6000fps", 6000},
};
const TimeUnit kDefaultUnit = {"film", 24};

double framesOf(long long ticks, double framesPerSecond) {
  return secondsOf(ticks) * framesPerSecond;
}

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

TimeUnit chooseTimeUnit(const std::vector<const Node*>& curves) {
  bool anyKey = false;
  for (const Node* curve : curves) anyKey = anyKey || !AnimCurve::keysOf(*curve).empty();
  if (!anyKey) return kDefaultUnit;
  for (const TimeUnit& unit : kTimeUnits) {
    bool whole = true;
    for (const Node* curve : curves) {
      for (const CurveKey& key : AnimCurve::keysOf(*curve)) {
        whole = whole && onWholeFrame(framesOf(key.ticks, unit.framesPerSecond));
      }
    }
    if (whole) return unit;
  }
  return kDefaultUnit;
}

std::string quoted(const std::string& text) {
  std::string result = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') result += '\\';
    result += c;
  }
  return result + "\"";
}

double shown(const Attribute& attribute, double value) {
  if (attribute.unit != AttributeUnit::kAngle) return value;
  // Rounded to 15 digits, so 30 degrees is written 30, not 29.999999999999996.
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value * 180.0 / kPi);
  return std::strtod(text, nullptr);
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
      if (node->hasFn(MFn::kTransform) && node->parent() == nullptr) addDag(*node);
    }
  }

  std::string text() {
    const TimeUnit unit = chooseTimeUnit(curves);
    out << "//Maya ASCII 2022 scene\n";
    out << "//Name: " << fileName << "\n";
    out << "//Codeset: UTF-8\n";
    out << "requires maya \"2022\";\n";
    out << "currentUnit -l centimeter -a degree -t " << unit.name << ";\n";
    out << "fileInfo \"application\" \"maya\";\n";
    out << "fileInfo \"product\" \"Maya 2022\";\n";
    out << "fileInfo \"version\" \"2022\";\n";
    for (const Node* node : dagNodes) writeTransform(*node);
    for (const Node* node : curves) writeCurve(*node, unit);
    for (const Node* node : dagNodes) writeConnections(*node);
    for (const Node* node : curves) writeConnections(*node);
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
      values[i] = value ? shown(child, *value) : 0.0;
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

  void writeCurve(const Node& node, const TimeUnit& unit) {
    out << "createNode " << node.type().name << " -n " << quoted(node.name()) << ";\n";
    const auto& keys = AnimCurve::keysOf(node);
    if (keys.empty()) return;
    auto output = node.type().findAttribute("output");
    out << "\tsetAttr -s " << keys.size() << " \".ktv[0:" << keys.size() - 1 << "]\" ";
    for (std::size_t i = 0; i < keys.size(); ++i) {
      // Eight keys a line, continued as Maya continues long statements.
      out << (i % 8 == 0 && i > 0 ? "\n\t\t" : " ");
      out << frameText(framesOf(keys[i].ticks, unit.framesPerSecond)) << " "
          << numberText(output ? shown(*output, keys[i].value) : keys[i].value);
    }
    out << ";\n";
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
