#pragma once

#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxThreadedDeviceNode.h>
#include <maya/MStatus.h>
#include <maya/MTypeId.h>

// "tickDevice": while live, the worker pushes the numbers 1, 2, 3, ... through a pool of two
// 4-byte buffers; compute pops the oldest and writes (n, 2n, 3n) to "sample". The refresh
// output is "stamp", which reaches "sample" only through "relay": stamp affects relay, relay
// affects sample.
class TickDeviceNode : public MPxThreadedDeviceNode {
 public:
  ~TickDeviceNode() override;
  void postConstructor() override;
  MStatus compute(const MPlug& plug, MDataBlock& block) override;
  void threadHandler() override;
  void threadShutdownHandler() override;

  static void* creator();
  static MStatus initialize();

  static const MTypeId id;
  static MObject sampleX;
  static MObject sampleY;
  static MObject sampleZ;
  static MObject sample;
  static MObject stamp;
  static MObject relay;

 private:
  int sequence = 0;  // device thread only
};

// "stuckDevice": its handler ignores done and returns only after hostTestReleaseStuck.
class StuckDeviceNode : public MPxThreadedDeviceNode {
 public:
  void threadHandler() override;

  static void* creator();

  static const MTypeId id;
};

// "lateDevice": its handler clears done only after hostTestOpenGate, then loops until done.
class LateDeviceNode : public MPxThreadedDeviceNode {
 public:
  void threadHandler() override;
  void threadShutdownHandler() override;

  static void* creator();

  static const MTypeId id;
};
