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
  // A key as the curve had it: tangent types and, for fixed tangents, their directions.
  struct Key {
    MTime time;
    double value = 0.0;
    MFnAnimCurve::TangentType inType = MFnAnimCurve::kTangentGlobal;
    MFnAnimCurve::TangentType outType = MFnAnimCurve::kTangentGlobal;
    MFnAnimCurve::TangentValue inX = 1.0;
    MFnAnimCurve::TangentValue inY = 0.0;
    MFnAnimCurve::TangentValue outX = 1.0;
    MFnAnimCurve::TangentValue outY = 0.0;
  };
  struct Plug {
    bool keyable = false;
    bool locked = false;
    bool animated = false;
    std::vector<Key> keys;
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
    for (unsigned int index = 0; index < count; ++index) {
      Kept::Key key;
      key.time = curve.time(index);
      key.value = curve.value(index);
      key.inType = curve.inTangentType(index);
      key.outType = curve.outTangentType(index);
      curve.getTangent(index, key.inX, key.inY, true);
      curve.getTangent(index, key.outX, key.outY, false);
      saved.keys.push_back(key);
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
            // Every key first: the tangents of the types not fixed follow from the neighbours.
            for (const auto& key : saved.keys) {
              if (status)
                curve.addKey(key.time, key.value, key.inType, key.outType, nullptr, &status);
            }
            for (unsigned int index = 0; index < saved.keys.size() && status; ++index) {
              const Kept::Key& key = saved.keys[index];
              if (key.inType == MFnAnimCurve::kTangentFixed) {
                status = curve.setTangent(index, key.inX, key.inY, true, nullptr, false);
              }
              if (status && key.outType == MFnAnimCurve::kTangentFixed) {
                status = curve.setTangent(index, key.outX, key.outY, false, nullptr, false);
              }
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
