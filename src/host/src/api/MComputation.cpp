#include <maya/MComputation.h>

#include "api/ReturnStatus.h"
#include "runtime/Session.h"

namespace {

host::Interrupts& interrupts() { return host::Session::instance().interrupts; }

}  // namespace

MComputation::MComputation() = default;

MComputation::~MComputation() {
  if (active) endComputation();
}

void MComputation::beginComputation(bool showProgressBar, bool isInterruptable, bool) {
  active = true;
  interruptible = isInterruptable;
  interrupts().begin(showProgressBar, isInterruptable);
  interrupts().progressed(minimum, maximum, value);
}

bool MComputation::isInterruptRequested() {
  return active && interruptible && interrupts().poll(minimum, maximum, value);
}

void MComputation::endComputation() {
  if (!active) return;
  active = false;
  interrupts().end();
}

MStatus MComputation::setProgressRange(const int minValue, const int maxValue) {
  if (minValue > maxValue) return MS::kInvalidParameter;
  minimum = minValue;
  maximum = maxValue;
  if (active) interrupts().progressed(minimum, maximum, value);
  return MS::kSuccess;
}

int MComputation::progressMin(MStatus* ReturnStatus) const {
  host::report(ReturnStatus, MS::kSuccess);
  return minimum;
}

int MComputation::progressMax(MStatus* ReturnStatus) const {
  host::report(ReturnStatus, MS::kSuccess);
  return maximum;
}

MStatus MComputation::setProgress(const int progressValue) {
  value = progressValue < minimum ? minimum : progressValue > maximum ? maximum : progressValue;
  if (active) interrupts().progressed(minimum, maximum, value);
  return MS::kSuccess;
}

int MComputation::progress(MStatus* ReturnStatus) const {
  host::report(ReturnStatus, MS::kSuccess);
  return value;
}
