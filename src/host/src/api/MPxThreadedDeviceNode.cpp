#include <maya/MPxThreadedDeviceNode.h>

#include <memory>
#include <vector>

#include "model/Attribute.h"
#include "model/Object.h"
#include "runtime/DeviceState.h"

MObject MPxThreadedDeviceNode::output =
    host::DeviceState::inheritedAttribute(host::DeviceState::Inherited::kOutput);
MObject MPxThreadedDeviceNode::live =
    host::DeviceState::inheritedAttribute(host::DeviceState::Inherited::kLive);
MObject MPxThreadedDeviceNode::frameRate =
    host::DeviceState::inheritedAttribute(host::DeviceState::Inherited::kFrameRate);

MCharBuffer::MCharBuffer() = default;
MCharBuffer::~MCharBuffer() = default;

char* MCharBuffer::ptr() { return data; }

long MCharBuffer::size() { return bytes; }

MPxThreadedDeviceNode::MPxThreadedDeviceNode()
    : state(std::make_unique<host::DeviceState>(*this)) {}

MPxThreadedDeviceNode::~MPxThreadedDeviceNode() = default;

void MPxThreadedDeviceNode::threadHandler() {}

void MPxThreadedDeviceNode::threadShutdownHandler() { setDone(true); }

bool MPxThreadedDeviceNode::isLive() { return state->isLive(); }

bool MPxThreadedDeviceNode::isDone() { return state->isDone(); }

MStatus MPxThreadedDeviceNode::setDone(bool done) {
  state->setDone(done);
  return MS::kSuccess;
}

MStatus MPxThreadedDeviceNode::beginThreadLoop() {
  state->beginLoop();
  return MS::kSuccess;
}

MStatus MPxThreadedDeviceNode::endThreadLoop() {
  state->endLoop();
  return MS::kSuccess;
}

MStatus MPxThreadedDeviceNode::createMemoryPools(int nCount, int nElements, long nSize) {
  if (nElements <= 0 || nSize <= 0) return MS::kInvalidParameter;
  return state->pool.create(nCount, nElements * nSize) ? MS::kSuccess : MS::kInvalidParameter;
}

MStatus MPxThreadedDeviceNode::destroyMemoryPools() {
  state->pool.destroy();
  return MS::kSuccess;
}

MStatus MPxThreadedDeviceNode::acquireDataStorage(MCharBuffer& buffer) {
  char* data = state->pool.acquire();
  if (data == nullptr) return MS::kFailure;
  buffer.data = data;
  buffer.bytes = state->pool.bufferSize();
  return MS::kSuccess;
}

MStatus MPxThreadedDeviceNode::pushThreadData(MCharBuffer& buffer) {
  return state->pool.push(buffer.data) ? MS::kSuccess : MS::kFailure;
}

MStatus MPxThreadedDeviceNode::popThreadData(MCharBuffer& buffer) {
  char* data = state->pool.pop();
  if (data == nullptr) return MS::kFailure;
  buffer.data = data;
  buffer.bytes = state->pool.bufferSize();
  return MS::kSuccess;
}

long MPxThreadedDeviceNode::threadDataCount() { return state->pool.queued(); }

MStatus MPxThreadedDeviceNode::releaseDataStorage(MCharBuffer& buffer) {
  if (!state->pool.release(buffer.data)) return MS::kFailure;
  buffer.data = nullptr;
  buffer.bytes = 0;
  return MS::kSuccess;
}

MStatus MPxThreadedDeviceNode::setRefreshOutputAttributes(const MObjectArray& attributeList) {
  std::vector<const host::Attribute*> attributes;
  for (unsigned int i = 0; i < attributeList.length(); ++i) {
    auto attribute = host::ObjectAccess::as<host::Attribute>(attributeList[i]);
    if (!attribute) return MS::kInvalidParameter;
    attributes.push_back(attribute.get());
  }
  state->setRefreshOutputs(std::move(attributes));
  return MS::kSuccess;
}
