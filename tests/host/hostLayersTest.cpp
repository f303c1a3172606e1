// The host's sources sit in layer folders whose includes run one way: the model, the runtime on
// it, the Maya API face, the writers, the controls. The model uses Maya's value types at most,
// so that it can be read (and changed) without the API around it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kLayers = {"model", "runtime", "api", "writers", "controls"};

// The <host/...> headers, by the layer that implements them.
const std::map<std::string, std::string> kHostHeaders = {
    {"Value.h", "model"},        {"DevicePool.h", "runtime"},     {"DeviceThread.h", "runtime"},
    {"Plugins.h", "runtime"},    {"SceneMayaAscii.h", "writers"}, {"HostScene.h", "controls"},
    {"Interrupts.h", "controls"}};

// Maya's value types: what a model file may include of <maya/...>.
const std::set<std::string> kValueTypes = {"MAngle.h",  "MDistance.h", "MFn.h",   "MObject.h",
                                           "MStatus.h", "MString.h",   "MTime.h", "MTypeId.h"};

int rank(const std::string& layer) {
  const auto at = std::find(kLayers.begin(), kLayers.end(), layer);
  return at == kLayers.end() ? -1 : static_cast<int>(at - kLayers.begin());
}

// What is wrong with file's include of target ("layer/Name.h", <host/...> or <maya/...>) for a
// file in layer; empty when nothing is.
std::string problem(const std::string& file, const std::string& layer, char open,
                    const std::string& target) {
  const std::string include = open + target + (open == '"' ? '"' : '>');
  std::string to;
  if (target.rfind("host/", 0) == 0) {
    const auto header = kHostHeaders.find(target.substr(5));
    if (header == kHostHeaders.end()) return file + ": " + include + " is in no layer's table";
    to = header->second;
  } else if (open == '"') {
    const auto slash = target.find('/');
    to = slash == std::string::npos ? "" : target.substr(0, slash);
    if (rank(to) < 0) return file + ": " + include + " names no layer folder";
  } else if (target.rfind("maya/", 0) == 0) {
    if (layer == "model" && kValueTypes.count(target.substr(5)) == 0) {
      return file + ": the model includes " + include + ", which is no value type";
    }
    return "";
  } else {
    return "";
  }
  if (rank(to) > rank(layer))
    return file + " (" + layer + ") includes " + include + " (" + to + ")";
  return "";
}

TEST(HostLayers, EveryIncludeRunsDownTheLayersAndTheModelUsesValueTypesAtMost) {
  const fs::path root = fs::u8path(HOST_SOURCES);
  const std::regex includeLine(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::vector<std::string> problems;
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = fs::relative(entry.path(), root);
    const std::string file = relative.generic_u8string();
    const std::string layer = relative.has_parent_path() ? relative.begin()->u8string() : "";
    if (rank(layer) < 0 || std::distance(relative.begin(), relative.end()) != 2) {
      problems.push_back(file + " is in no layer folder");
      continue;
    }
    ++files;
    std::ifstream in(entry.path());
    std::string line;
    std::smatch match;
    while (std::getline(in, line)) {
      if (!std::regex_search(line, match, includeLine)) continue;
      const std::string found = problem(file, layer, match[1].str()[0], match[2].str());
      if (!found.empty()) problems.push_back(found);
    }
  }
  EXPECT_GT(files, 50);
  std::string listed;
  for (const std::string& found : problems) listed += "\n  " + found;
  EXPECT_TRUE(problems.empty()) << problems.size() << " includes against the layers:" << listed;
}

}  // namespace
