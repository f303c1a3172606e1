#include "TickDeviceNode.h"

#include <maya/MDataHandle.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MObjectArray.h>
#include <maya/MString.h>

#include <cstring>
#include <string>
#include <thread>

#include "EventLog.h"

const MTypeId TickDeviceNode::id(0x7f002);
MObject TickDeviceNode::sampleX;
MObject TickDeviceNode::sampleY;
MObject TickDeviceNode::sampleZ;
MObject TickDeviceNode::sample;
MObject TickDeviceNode::stamp;
MObject TickDeviceNode::relay;

TickDeviceNode::~TickDeviceNode() {
  destroyMemoryPools();
  testplugin::record("tick destroyed");
}

void TickDeviceNode::postConstructor() {
  MObjectArray refresh;
  refresh.append(stamp);
  setRefreshOutputAttributes(refresh);
  createMemoryPools(2, 4, 1);
}

MStatus TickDeviceNode::compute(const MPlug& plug, MDataBlock& block) {
  if (!(plug == sample || plug == sampleX || plug == sampleY || plug == sampleZ)) {
    return MS::kUnknownParameter;
  }
  MCharBuffer buffer;
  if (!popThreadData(buffer)) {
    testplugin::record("compute found no data");
    return MS::kFailure;
  }
  int value = 0;
  std::memcpy(&value, buffer.ptr(), sizeof value);
  MDataHandle handle = block.outputValue(sample);
  handle.set3Double(value, 2.0 * value, 3.0 * value);
  handle.setClean();
  block.setClean(plug);
  // What the device thread dirties the sample through: left dirty, it would stop the next
  // loop's dirtying before the sample.
  block.setClean(stamp);
  block.setClean(relay);
  releaseDataStorage(buffer);
  testplugin::record("computed " + std::to_string(value));
  return MS::kSuccess;
}

void TickDeviceNode::threadHandler() {
  testplugin::record("tick start");
  setDone(false);
  MCharBuffer buffer;
  while (!isDone()) {
    if (!isLive()) break;
    if (!acquireDataStorage(buffer)) {
      std::this_thread::yield();
      continue;
    }
    beginThreadLoop();
    int value = ++sequence;
    std::memcpy(buffer.ptr(), &value, sizeof value);
    pushThreadData(buffer);
    testplugin::record("pushed " + std::to_string(value));
    endThreadLoop();
    testplugin::record("looped " + std::to_string(value));
  }
  setDone(true);
  testplugin::record("tick end");
}

void TickDeviceNode::threadShutdownHandler() {
  testplugin::record("tick shutdown");
  setDone(true);
}

void* TickDeviceNode::creator() { return new TickDeviceNode; }

MStatus TickDeviceNode::initialize() {
  MFnNumericAttribute numeric;
  MStatus status;
  sampleX = numeric.create("sampleX", "smx", MFnNumericData::kDouble, 0.0, &status);
  if (!status) return status;
  sampleY = numeric.create("sampleY", "smy", MFnNumericData::kDouble, 0.0, &status);
  if (!status) return status;
  sampleZ = numeric.create("sampleZ", "smz", MFnNumericData::kDouble, 0.0, &status);
  if (!status) return status;
  sample = numeric.create("sample", "smp", sampleX, sampleY, sampleZ, &status);
  if (!status) return status;
  stamp = numeric.create("stamp", "stp", MFnNumericData::kDouble, 0.0, &status);
  if (!status) return status;
  relay = numeric.create("relay", "rel", MFnNumericData::kDouble, 0.0, &status);
  if (!status) return status;
  for (const MObject* attribute : {&sample, &stamp, &relay}) {
    status = addAttribute(*attribute);
    if (!status) return status;
  }
  status = attributeAffects(stamp, relay);
  if (!status) return status;
  status = attributeAffects(relay, sample);
  if (!status) return status;
  status = attributeAffects(live, sample);
  if (!status) return status;
  return attributeAffects(frameRate, sample);
}

const MTypeId StuckDeviceNode::id(0x7f003);

void StuckDeviceNode::threadHandler() {
  testplugin::record("stuck start");
  testplugin::waitForRelease();
  testplugin::record("stuck end");
}

void* StuckDeviceNode::creator() { return new StuckDeviceNode; }

const MTypeId LateDeviceNode::id(0x7f005);

void LateDeviceNode::threadHandler() {
  testplugin::record("late start");
  testplugin::waitForGate();
  setDone(false);
  while (!isDone()) std::this_thread::yield();
  testplugin::record("late end");
}

void LateDeviceNode::threadShutdownHandler() {
  testplugin::record("late shutdown");
  setDone(true);
}

void* LateDeviceNode::creator() { return new LateDeviceNode; }
