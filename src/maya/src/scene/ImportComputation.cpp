#include "scene/ImportComputation.h"

#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>
#include <maya/MString.h>
#include <maya/MTime.h>

#include <array>
#include <string>
#include <utility>

namespace {

constexpr int kPlugCount = 6;
const char* const kPlugs[kPlugCount] = {"rotateX",    "rotateY",    "rotateZ",
                                        "translateX", "translateY", "translateZ"};
constexpr int kRange = 1000;

}  // namespace

struct ImportComputation::Kept {
  struct Plug {
    bool keyable = false;
    bool locked = false;
    bool animated = false;
    std::vector<std::pair<MTime, double>> keys;
  };
  MObject joint;
  std::array<Plug, kPlugCount> plugs;
};

ImportComputation::ImportComputation() {
  computation.beginComputation(MGlobal::mayaState() == MGlobal::kInteractive, true, true);
  computation.setProgressRange(0, kRange);
}

ImportComputation::~ImportComputation() { computation.endComputation(); }

void ImportComputation::beginPart(int index, int count) {
  part = index;
  parts = count > 0 ? count : 1;
  total = 0;
  done = 0;
}

void ImportComputation::addWork(std::uint64_t units) { total += units; }

bool ImportComputation::proceed() {
  if (stopped) return false;
  const double withinPart =
      total == 0 ? 0.0 : static_cast<double>(done) / static_cast<double>(total);
  computation.setProgress(static_cast<int>((part + withinPart) * kRange / parts));
  if (computation.isInterruptRequested()) {
    stopped = true;
    return false;
  }
  ++done;
  return true;
}

void ImportComputation::keepCurves(const MObject& joint) {
  Kept entry;
  entry.joint = joint;
  MFnDependencyNode node(joint);
  for (int i = 0; i < kPlugCount; ++i) {
    MStatus status;
    const MPlug plug = node.findPlug(kPlugs[i], false, &status);
    if (!status) continue;
    Kept::Plug& saved = entry.plugs[i];
    saved.keyable = plug.isKeyable();
    saved.locked = plug.isLocked();
    if (!plug.isConnected()) continue;
    MFnAnimCurve curve(plug, &status);
    if (!status) continue;
    saved.animated = true;
    const unsigned int count = curve.numKeys();
    for (unsigned int key = 0; key < count; ++key) {
      saved.keys.emplace_back(curve.time(key), curve.value(key));
    }
  }
  kept.push_back(std::move(entry));
}

MStatus ImportComputation::restoreCurves() {
  MStatus result = MS::kSuccess;
  for (auto entry = kept.rbegin(); entry != kept.rend(); ++entry) {
    MFnDependencyNode node(entry->joint);
    for (int i = 0; i < kPlugCount; ++i) {
      MStatus status;
      MPlug plug = node.findPlug(kPlugs[i], false, &status);
      if (!status) continue;
      const Kept::Plug& saved = entry->plugs[i];
      if (plug.isConnected()) {
        MFnAnimCurve curve(plug, &status);
        if (status) {
          MObject curveNode = curve.object();
          if (!saved.animated) {
            status = MGlobal::deleteNode(curveNode);
          } else {
            for (unsigned int key = curve.numKeys(); key > 0 && status; --key) {
              status = curve.remove(key - 1);
            }
            for (const auto& key : saved.keys) {
              if (status) status = curve.addKeyframe(key.first, key.second);
            }
          }
          if (!status && result) result = status;
        }
      }
      plug.setKeyable(saved.keyable);
      plug.setLocked(saved.locked);
    }
  }
  kept.clear();
  return result;
}
