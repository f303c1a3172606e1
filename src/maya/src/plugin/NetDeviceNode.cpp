#include "plugin/NetDeviceNode.h"

#include <maya/MDataHandle.h>
#include <maya/MFnAttribute.h>
#include <maya/MFnData.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>
#include <maya/MFnStringData.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MObjectArray.h>
#include <maya/MTypes.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iostream>
#include <string>
#include <vector>

#include "plugin/TakeSession.h"
#include "scene/utf8String.h"
#include "stream/FrameLayout.h"
#include "stream/StreamStatus.h"
#include "stream/protocolBufferProcess.h"

NetDeviceNode* currentDeviceNode = nullptr;

const MTypeId NetDeviceNode::id(0x81053);

MObject NetDeviceNode::inputIp;
MObject NetDeviceNode::inputPort;
MObject NetDeviceNode::outputRotateOrder;
MObject NetDeviceNode::outputTranslateX[kOutputCount];
MObject NetDeviceNode::outputTranslateY[kOutputCount];
MObject NetDeviceNode::outputTranslateZ[kOutputCount];
MObject NetDeviceNode::outputTranslate[kOutputCount];
MObject NetDeviceNode::outputRotateX[kOutputCount];
MObject NetDeviceNode::outputRotateY[kOutputCount];
MObject NetDeviceNode::outputRotateZ[kOutputCount];
MObject NetDeviceNode::outputRotate[kOutputCount];

namespace {

// Every actor slot's row of the frame store, slot 0 first: 60 joint records of 6 floats each
// (X, Y, Z position, X, Y, Z rotation), root first.
constexpr int kRecordFloats = FrameLayout::kRecordFloats;
constexpr int kSlotFloats = FrameLayout::kSlotFloats;
constexpr std::size_t kFrameBytes = FrameLayout::kFrameBytes;
constexpr int kPoolBytes = static_cast<int>(kFrameBytes);
// Frames the device thread may queue ahead of compute, which shows the newest of them: enough
// for a 240 frames/s stream against a viewport refreshing at 30 Hz.
constexpr int kPoolBuffers = 8;
// Joint record g of actor slot k goes to output slot g + 1 of block k; record 59 has no slot.
constexpr int kWrittenSlots = NetDeviceNode::kSlotsPerBlock - 1;
static_assert(FrameLayout::kSlotCount == NetDeviceNode::kBlocks, "one block per actor slot");
// How long the device thread waits for a packet before it looks at done and live again, and
// tries again for a pool buffer when every one is queued.
constexpr std::chrono::milliseconds kWakeInterval(50);
// How many quiet waits in a row may mark the outputs again for a frame still queued.
constexpr int kRemarks = 2;
// How long before a throttled step ends its frames are copied: enough to copy, push and mark
// the outputs.
constexpr std::chrono::microseconds kCopyLead(500);
// Steps pushed that way before one pushes at once again, to measure the throttle.
constexpr int kHeldSteps = 16;

void report(const char* message) { std::cerr << message << std::endl; }

MString indexed(const char* base, int block, int slot) {
  MString name(base);
  name += block;
  name += slot;
  return name;
}

// A hidden double output named base + block + slot (short name likewise).
MObject createOutput(MFnNumericAttribute& numeric, const char* longName, const char* shortName,
                     int block, int slot, MStatus& status) {
  MObject attribute =
      numeric.create(indexed(longName, block, slot), indexed(shortName, block, slot),
                     MFnNumericData::kDouble, 0.0, &status);
  numeric.setHidden(true);
  return attribute;
}

MObject createCompound(MFnNumericAttribute& numeric, const char* longName, const char* shortName,
                       int block, int slot, const MObject& x, const MObject& y, const MObject& z,
                       MStatus& status) {
  MObject attribute = numeric.create(indexed(longName, block, slot),
                                     indexed(shortName, block, slot), x, y, z, &status);
  numeric.setHidden(true);
  return attribute;
}

MObject createString(MFnTypedAttribute& typed, const char* longName, const char* shortName,
                     const char* initial, MStatus& status) {
  MFnStringData text;
  MObject initialData = text.create(MString(initial));
  return typed.create(longName, shortName, MFnData::kString, initialData, &status);
}

}  // namespace

NetDeviceNode::NetDeviceNode() : hostText("127.0.0.1"), portText("7005") {}

NetDeviceNode::~NetDeviceNode() {
  if (currentDeviceNode == this) currentDeviceNode = nullptr;
  TakeSession::nodeDeleted(this);
  // The stream is shared: a take another node feeds must hear that it goes.
  if (streamOpen()) TakeSession::streamClosed("a netDevice node was deleted and closed the stream");
  closeStream();
  destroyMemoryPools();
}

void* NetDeviceNode::creator() {
  NetDeviceNode* node = nullptr;
  try {
    node = new NetDeviceNode;
  } catch (...) {
    node = nullptr;
  }
  currentDeviceNode = node;
  return node;
}

MStatus NetDeviceNode::initialize() {
  try {
    MFnTypedAttribute typed;
    MFnNumericAttribute numeric;
    MStatus status;
    inputIp = createString(typed, "inputIp", "ip", "127.0.0.1", status);
    if (!status) {
      report("create inputip");
      return MS::kFailure;
    }
    inputPort = createString(typed, "inputPort", "port", "7005", status);
    if (!status) {
      report("create inputport");
      return MS::kFailure;
    }
    addAttribute(inputIp);
    addAttribute(inputPort);

    for (int block = 0; block < kBlocks; ++block) {
      for (int slot = 0; slot < kSlotsPerBlock; ++slot) {
        const int k = block * kSlotsPerBlock + slot;
        struct Vector {
          const char* longName;
          const char* shortName;
          MObject* x;
          MObject* y;
          MObject* z;
          MObject* compound;
        };
        const Vector vectors[] = {
            {"outputTranslate", "ot", &outputTranslateX[k], &outputTranslateY[k],
             &outputTranslateZ[k], &outputTranslate[k]},
            {"outputRotate", "or", &outputRotateX[k], &outputRotateY[k], &outputRotateZ[k],
             &outputRotate[k]},
        };
        for (const Vector& vector : vectors) {
          const MString longName(vector.longName);
          const MString shortName(vector.shortName);
          const char* axes[] = {"X", "Y", "Z"};
          const char* shortAxes[] = {"x", "y", "z"};
          MObject* children[] = {vector.x, vector.y, vector.z};
          for (int axis = 0; axis < 3; ++axis) {
            const MString childLong = longName + axes[axis];
            const MString childShort = shortName + shortAxes[axis];
            *children[axis] =
                createOutput(numeric, childLong.asChar(), childShort.asChar(), block, slot, status);
            if (!status) {
              std::cerr << "create " << childLong.asChar() << std::endl;
              return MS::kFailure;
            }
          }
          *vector.compound = createCompound(numeric, vector.longName, vector.shortName, block, slot,
                                            *vector.x, *vector.y, *vector.z, status);
          if (!status) {
            std::cerr << "create " << vector.longName << std::endl;
            return MS::kFailure;
          }
          addAttribute(*vector.compound);
          attributeAffects(live, *vector.compound);
          attributeAffects(frameRate, *vector.compound);
        }
      }
    }

    outputRotateOrder = createString(typed, "outputRotateOrder", "oro", "yxz", status);
    addAttribute(outputRotateOrder);
    attributeAffects(live, outputRotateOrder);
    attributeAffects(frameRate, outputRotateOrder);

    for (int k = 0; k < kOutputCount; ++k) {
      for (const MObject* input : {&outputRotateOrder, &inputIp, &inputPort}) {
        attributeAffects(*input, outputTranslate[k]);
        attributeAffects(*input, outputRotate[k]);
      }
    }
    return MS::kSuccess;
  } catch (...) {
    return MS::kFailure;
  }
}

void NetDeviceNode::postConstructor() try {
  MObjectArray refresh;
  refresh.append(outputRotateOrder);
  setRefreshOutputAttributes(refresh);
  createMemoryPools(kPoolBuffers, kPoolBytes, 1);
} catch (...) {
}

bool NetDeviceNode::isOwnPlug(const MPlug& plug) {
  if (plug == outputRotateOrder || plug == inputIp || plug == inputPort) return true;
  for (int k = 0; k < kOutputCount; ++k) {
    if (plug == outputTranslate[k] || plug == outputTranslateX[k] || plug == outputTranslateY[k] ||
        plug == outputTranslateZ[k] || plug == outputRotate[k] || plug == outputRotateX[k] ||
        plug == outputRotateY[k] || plug == outputRotateZ[k]) {
      return true;
    }
  }
  return false;
}

MStatus NetDeviceNode::compute(const MPlug& plug, MDataBlock& block) {
  try {
    if (!isOwnPlug(plug)) return MS::kFailure;
    // The refresh attribute only carries the device thread's dirtying to the outputs, and its
    // value never changes: left dirty, it would stop the next dirtying short of them.
    MStatus cleaned = block.setClean(outputRotateOrder);
    if (!cleaned) return cleaned;
    // Only the newest queued frame is shown; the older ones go straight back to the pool.
    MCharBuffer buffers[2];
    int newest = 0;
    if (!popThreadData(buffers[newest])) return MS::kFailure;
    while (popThreadData(buffers[1 - newest])) {
      releaseDataStorage(buffers[newest]);
      newest = 1 - newest;
    }
    MStatus status = writeOutputs(buffers[newest], block);
    if (status) block.setClean(plug);
    // Handed back on failure too, or the device thread would run out of buffers.
    releaseDataStorage(buffers[newest]);
    return status;
  } catch (...) {
    return MS::kFailure;
  }
}

MStatus NetDeviceNode::writeOutputs(MCharBuffer& buffer, MDataBlock& block) {
  if (buffer.ptr() == nullptr || buffer.size() < static_cast<long>(kFrameBytes)) {
    return MS::kFailure;
  }
  MStatus status;
  for (int actor = 0; actor < kBlocks; ++actor) {
    for (int slot = 1; slot <= kWrittenSlots; ++slot) {
      const int k = actor * kSlotsPerBlock + slot;
      float record[kRecordFloats];
      std::memcpy(record,
                  buffer.ptr() + (actor * kSlotFloats + (slot - 1) * kRecordFloats) * sizeof(float),
                  sizeof record);

      MDataHandle translate = block.outputValue(outputTranslate[k], &status);
      if (!status) {
        report("Error in block.outputValue for outputTranslate");
        return MS::kFailure;
      }
      double3& position = translate.asDouble3();
      position[0] = record[0];
      position[1] = record[1];
      position[2] = record[2];
      translate.setClean();

      MDataHandle rotate = block.outputValue(outputRotate[k], &status);
      if (!status) {
        report("Error in block.outputValue for outputRotate");
        return MS::kFailure;
      }
      double3& rotation = rotate.asDouble3();
      rotation[0] = record[3];
      rotation[1] = record[4];
      rotation[2] = record[5];
      rotate.setClean();
    }
  }
  return MS::kSuccess;
}

void NetDeviceNode::threadHandler() {
  using Clock = std::chrono::steady_clock;
  try {
    setDone(false);
    MCharBuffer buffer;
    bool held = false;
    bool pushedAny = false;
    std::array<char, kFrameBytes> lastPushed{};
    protocolBufferProcess& process = protocolBufferProcess::instance();
    std::uint64_t seen = process.waitForNewPacket(0, std::chrono::milliseconds(0));
    // The stream's state at start is handed on once, whatever arrives.
    bool news = true;
    int remarks = 0;
    // How long the throttle ("frameRate") lets a step last from its begin, as the last two
    // steps that pushed at once and then waited in endThreadLoop showed; zero when one of them
    // did not wait.
    Clock::duration throttle = Clock::duration::zero();
    Clock::duration lastMeasured = Clock::duration::zero();
    int heldSteps = 0;
    while (!isDone()) {
      if (!isLive()) break;
      // The step starts before the wait, so that endThreadLoop throttles from the previous
      // step and a frame that arrives after a quiet spell is handed on at once.
      beginThreadLoop();
      const Clock::time_point stepStart = Clock::now();
      // What this step pushes shows no sooner than the throttle lets it end: copy the frames as
      // late as that allows, so that the newest arriving meanwhile is the one shown.
      const bool holding = throttle > Clock::duration::zero() && heldSteps < kHeldSteps;
      const Clock::time_point copyAt = holding ? stepStart + throttle - kCopyLead : stepStart;
      bool fresh = false;
      bool remark = false;
      while (!isDone() && isLive()) {
        if (news && Clock::now() < copyAt) {
          seen =
              process.waitForNewPacketUntil(seen, std::min(copyAt, Clock::now() + kWakeInterval));
          continue;
        }
        if (news && !held) held = acquireDataStorage(buffer);
        if (news && held && buffer.size() >= static_cast<long>(kFrameBytes)) {
          process.copyFrames(buffer.ptr(), static_cast<std::uint32_t>(buffer.size()));
          news = false;
          if (!pushedAny || std::memcmp(buffer.ptr(), lastPushed.data(), kFrameBytes) != 0) {
            fresh = true;
            break;
          }
        }
        // Woken by the receive thread; the time-out lets done and live be seen, and a frame
        // still waiting for a free buffer (news stays set) try again.
        const std::uint64_t now = process.waitForNewPacket(seen, kWakeInterval);
        if (now != seen) {
          news = true;
          seen = now;
          continue;
        }
        // A frame still queued after a quiet wait: an evaluation that was ending may have
        // cleaned the outputs right after this thread marked them, so mark them again (a few
        // times only: outputs nobody evaluates stay marked).
        if (remarks < kRemarks && threadDataCount() > 0) {
          ++remarks;
          remark = true;
          break;
        }
      }
      if (!fresh && !remark) break;
      if (fresh) {
        std::memcpy(lastPushed.data(), buffer.ptr(), kFrameBytes);
        pushedAny = true;
        held = !pushThreadData(buffer);
        remarks = 0;
      }
      const Clock::time_point ending = Clock::now();
      endThreadLoop();
      const Clock::time_point ended = Clock::now();
      if (fresh && holding) {
        ++heldSteps;
      } else if (fresh) {
        // Measured afresh now and then, since a held push shows nothing; two steps in a row
        // must agree, so that one in which this thread was merely held up does not count.
        const Clock::duration measured =
            ended - ending > 2 * kCopyLead ? ended - stepStart : Clock::duration::zero();
        throttle = std::min(measured, lastMeasured);
        lastMeasured = measured;
        heldSteps = 0;
      }
    }
    if (held) releaseDataStorage(buffer);
  } catch (...) {
  }
  setDone(true);
}

void NetDeviceNode::threadShutdownHandler() {
  setDone(true);
  // The thread may be waiting for a packet; live toggles, frameRate changes and deletion wait
  // for it to end.
  protocolBufferProcess::instance().wakeWaiters();
}

bool NetDeviceNode::connectMocap() {
  MObject self = thisMObject();
  if (self.isNull() || inputIp.isNull() || inputPort.isNull()) return false;
  hostText = MPlug(self, inputIp).asString();
  portText = MPlug(self, inputPort).asString();
  protocolBufferProcess& process = protocolBufferProcess::instance();
  process.stopReceiveThread();
  process.closeSocket();
  const int port = portText.asInt();
  // A wrapped number would reach some other port.
  if (port <= 0 || port > 65535) return false;
  if (!process.connectToServer(hostText.asUTF8(), static_cast<std::uint16_t>(port))) {
    return false;
  }
  process.startReceiveThread();
  return true;
}

bool NetDeviceNode::disconnectMocap() {
  if (streamOpen()) TakeSession::streamClosed("the stream was disconnected");
  closeStream();
  return true;
}

int NetDeviceNode::createSkeleton(std::vector<std::string>& problems) {
  if (thisMObject().isNull()) return 0;
  int built = 0;
  // Named by slot, not by position in the list: "Marvik<k>" is the skeleton of block k.
  for (const StreamHeader& header : protocolBufferProcess::instance().copyHeaders()) {
    importer.sceneName = MString("Marvik") + static_cast<double>(header.slot);
    if (importer.readFromText(utf8String(header.text))) {
      ++built;
    } else {
      problems.push_back("the skeleton of actor " + std::to_string(header.actor.tag) + " (Marvik" +
                         std::to_string(header.slot) +
                         ") could not be built: " + importer.failure().asUTF8());
    }
  }
  return built;
}

bool NetDeviceNode::streamOpen() {
  try {
    return protocolBufferProcess::instance().status().state != StreamStatus::State::kDisconnected;
  } catch (...) {
    return false;
  }
}

void NetDeviceNode::closeStream() {
  try {
    protocolBufferProcess& process = protocolBufferProcess::instance();
    process.stopReceiveThread();
    process.closeSocket();
  } catch (...) {
  }
}
