#include <host/Interrupts.h>

#include <utility>

#include "runtime/Session.h"

namespace host {

namespace {

Interrupts& interrupts() { return Session::instance().interrupts; }

}  // namespace

void setMayaState(MGlobal::MMayaState state) { interrupts().mode = state; }

void requestInterrupt() { interrupts().requested = true; }

void interruptAfterPolls(long long polls) { interrupts().afterPolls = polls; }

void interruptAtProgress(double fraction) { interrupts().atFraction = fraction; }

void setInterruptSource(std::function<bool()> source) { interrupts().source = std::move(source); }

ComputationRecord lastComputation() {
  const Interrupts::Record& record = interrupts().record;
  ComputationRecord copy;
  copy.begun = record.begun;
  copy.active = record.active;
  copy.progressWindow = record.progressWindow;
  copy.interruptible = record.interruptible;
  copy.polls = record.polls;
  copy.interrupted = record.interrupted;
  copy.progressMin = record.progressMin;
  copy.progressMax = record.progressMax;
  copy.progress = record.progress;
  return copy;
}

}  // namespace host
