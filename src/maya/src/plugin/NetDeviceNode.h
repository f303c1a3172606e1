#pragma once

#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxThreadedDeviceNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <string>
#include <vector>

#include "scene/imocapImport.h"

// "netDevice": while live, its device thread copies the newest frame of all five actor slots
// out of the stream processor into a pool buffer, and compute writes joint records 0 to 58 of
// actor slot k to the translate and rotate outputs of slots 1 to 59 of block k. The commands
// reach the most recently created node through currentDeviceNode.
class NetDeviceNode : public MPxThreadedDeviceNode {
 public:
  static constexpr int kBlocks = 5;
  static constexpr int kSlotsPerBlock = 60;
  static constexpr int kOutputCount = kBlocks * kSlotsPerBlock;

  NetDeviceNode();
  // Main thread. Closes the stream connection (whichever node opened it), destroys the pool
  // and clears currentDeviceNode when it designates this node. A take recording since this node
  // was current goes into a recovery folder (TakeSession); a take another node feeds pauses.
  ~NetDeviceNode() override;

  void postConstructor() override;
  // Main thread. Pops every queued frame and writes the newest; kFailure, outputs unchanged,
  // when none is queued or the plug is not the node's.
  MStatus compute(const MPlug& plug, MDataBlock& block) override;
  // Device thread. Pushes a frame whenever any actor slot's values change (and once at start).
  // Between frames it waits on the stream processor, which wakes it when a packet has been
  // handled; a short time-out lets it see done and live.
  void threadHandler() override;
  // Main thread.
  void threadShutdownHandler() override;

  // Main thread. Reads "inputIp" and "inputPort", ends the running connection, connects anew
  // and starts the receive thread; false when the server cannot be reached or the port is not
  // a port number. Throws the socket layer's error text when the host cannot be resolved.
  bool connectMocap();
  // Main thread. Stops the receive thread and closes the connection; always true.
  bool disconnectMocap();
  // Main thread. Builds one skeleton of joints, without keys, per actor whose header arrived
  // since the last actor list, under the top transform "Marvik<k>" for actor slot k, in slot
  // order; returns how many it built. A failed build leaves what it made, adds the reason to
  // problems, and the next text is built all the same.
  int createSkeleton(std::vector<std::string>& problems);

  // Main thread, like disconnectMocap but without a node: for the module's unload. Never
  // throws.
  static void closeStream();
  // Whether the stream is connected or being dialled. Never throws.
  static bool streamOpen();

  static void* creator();
  static MStatus initialize();

  static const MTypeId id;

  static MObject inputIp;
  static MObject inputPort;
  static MObject outputRotateOrder;
  // Element k belongs to block k / 60 and slot k % 60.
  static MObject outputTranslateX[kOutputCount];
  static MObject outputTranslateY[kOutputCount];
  static MObject outputTranslateZ[kOutputCount];
  static MObject outputTranslate[kOutputCount];
  static MObject outputRotateX[kOutputCount];
  static MObject outputRotateY[kOutputCount];
  static MObject outputRotateZ[kOutputCount];
  static MObject outputRotate[kOutputCount];

  // Texts read from "inputIp" and "inputPort" by the last connect.
  MString hostText;
  MString portText;
  // Builds the skeletons; it never reads an option string, so it builds joints only.
  imocapImport importer;

 private:
  static bool isOwnPlug(const MPlug& plug);
  // Joint records 0 to 58 of each actor slot k of the frame in buffer to the outputs of slots
  // 1 to 59 of block k.
  MStatus writeOutputs(MCharBuffer& buffer, MDataBlock& block);
};

// The most recently created node, or null once that node is deleted. Main thread only.
extern NetDeviceNode* currentDeviceNode;
