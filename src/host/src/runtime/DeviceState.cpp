#include "runtime/DeviceState.h"

#include <maya/MPxThreadedDeviceNode.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <variant>

#include "model/Object.h"
#include "runtime/Session.h"

namespace host {

namespace {

struct InheritedAttributes {
  std::shared_ptr<Attribute> output;
  std::shared_ptr<Attribute> live;
  std::shared_ptr<Attribute> frameRate;
};

std::shared_ptr<Attribute> numeric(const char* longName, const char* shortName, AttributeKind kind,
                                   AttributeValue initial) {
  auto attribute = std::make_shared<Attribute>(
      longName, shortName, kind, std::vector<MFn::Type>{MFn::kNumericAttribute, MFn::kAttribute});
  attribute->defaultValue = std::move(initial);
  return attribute;
}

// Every device state that may flag a refresh; its mutex is never taken under a stateMutex.
std::mutex registryMutex;
std::vector<DeviceState*>& registry() {
  static std::vector<DeviceState*> states;
  return states;
}

const InheritedAttributes& inherited() {
  static const InheritedAttributes attributes = [] {
    return InheritedAttributes{numeric("output", "out", AttributeKind::kDouble, 0.0),
                               numeric("live", "liv", AttributeKind::kBool, false),
                               numeric("frameRate", "fr", AttributeKind::kDouble, 15.0)};
  }();
  return attributes;
}

}  // namespace

DeviceState::DeviceState(MPxThreadedDeviceNode& device) : owner(device) {
  std::lock_guard<std::mutex> lock(registryMutex);
  registry().push_back(this);
}

DeviceState::~DeviceState() {
  std::lock_guard<std::mutex> lock(registryMutex);
  auto& states = registry();
  states.erase(std::remove(states.begin(), states.end(), this), states.end());
}

void DeviceState::applyRefreshes() {
  std::lock_guard<std::mutex> registryLock(registryMutex);
  for (DeviceState* state : registry()) {
    if (!state->refreshPending.exchange(false)) continue;
    std::lock_guard<std::mutex> lock(state->stateMutex);
    if (state->node == nullptr) continue;
    for (const Attribute* attribute : state->refresh) state->node->setDirty(*attribute, true);
  }
}

void DeviceState::addInheritedAttributes(NodeType& type) {
  const InheritedAttributes& attributes = inherited();
  type.addAttribute(attributes.output);
  type.addAttribute(attributes.live);
  type.addAttribute(attributes.frameRate);
}

MObject DeviceState::inheritedAttribute(Inherited which) {
  const InheritedAttributes& attributes = inherited();
  switch (which) {
    case Inherited::kOutput:
      return ObjectAccess::wrap(attributes.output);
    case Inherited::kLive:
      return ObjectAccess::wrap(attributes.live);
    case Inherited::kFrameRate:
      return ObjectAccess::wrap(attributes.frameRate);
  }
  return MObject();
}

void DeviceState::attach(Node& attached) {
  {
    std::lock_guard<std::mutex> lock(stateMutex);
    node = &attached;
  }
  readAttributes();
  startWorker();
}

bool DeviceState::restart() {
  if (!shutDown()) return false;
  readAttributes();
  return startWorker();
}

bool DeviceState::stop() {
  bool stopped = shutDown();
  std::lock_guard<std::mutex> lock(stateMutex);
  node = nullptr;
  return stopped;
}

bool DeviceState::shutDown() {
  {
    std::lock_guard<std::mutex> lock(stateMutex);
    stopping = true;
  }
  return worker.stop(
      [this] {
        try {
          owner.threadShutdownHandler();
        } catch (...) {
        }
      },
      Session::instance().joinTimeout());
}

bool DeviceState::startWorker() {
  {
    std::lock_guard<std::mutex> lock(stateMutex);
    stopping = false;
    done = false;
  }
  return worker.start([this] { owner.threadHandler(); });
}

bool DeviceState::handlerThrew() const { return worker.threw(); }

bool DeviceState::isLive() const { return live; }

bool DeviceState::isDone() const { return done; }

void DeviceState::setDone(bool value) {
  {
    std::lock_guard<std::mutex> lock(stateMutex);
    if (!value && stopping) return;
    done = value;
  }
  if (value) doneSet.notify_all();
}

void DeviceState::beginLoop() { loopStart = std::chrono::steady_clock::now(); }

void DeviceState::endLoop() {
  double rate = frameRate;
  std::unique_lock<std::mutex> lock(stateMutex);
  if (rate > 0.0) {
    auto step = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / rate));
    doneSet.wait_until(lock, loopStart + step, [this] { return done.load(); });
  }
  if (node != nullptr) refreshPending = true;
}

void DeviceState::setRefreshOutputs(std::vector<const Attribute*> attributes) {
  std::lock_guard<std::mutex> lock(stateMutex);
  refresh = std::move(attributes);
}

void DeviceState::readAttributes() {
  std::lock_guard<std::mutex> lock(stateMutex);
  if (node == nullptr) return;
  const InheritedAttributes& attributes = inherited();
  if (auto value = std::get_if<bool>(&node->storedValue(*attributes.live))) live = *value;
  if (auto value = std::get_if<double>(&node->storedValue(*attributes.frameRate))) {
    frameRate = *value;
  }
}

}  // namespace host
