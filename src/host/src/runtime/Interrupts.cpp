#include "runtime/Interrupts.h"

namespace host {

void Interrupts::begin(bool showProgressBar, bool isInterruptable) {
  const int begun = record.begun + 1;
  record = Record();
  record.begun = begun;
  record.active = true;
  // Batch Maya has no window to show it in.
  record.progressWindow = showProgressBar && mode == MGlobal::kInteractive;
  record.interruptible = isInterruptable;
}

bool Interrupts::poll(int minimum, int maximum, int value) {
  ++record.polls;
  if (!record.active || !record.interruptible) return false;
  if (record.interrupted) return true;
  const bool byProgress =
      atFraction >= 0 && maximum > minimum &&
      static_cast<double>(value - minimum) >= atFraction * static_cast<double>(maximum - minimum);
  const bool byPolls = afterPolls >= 0 && record.polls > afterPolls;
  if (requested || byProgress || byPolls || (source && source())) record.interrupted = true;
  return record.interrupted;
}

void Interrupts::progressed(int minimum, int maximum, int value) {
  record.progressMin = minimum;
  record.progressMax = maximum;
  record.progress = value;
}

void Interrupts::end() {
  record.active = false;
  if (record.interrupted) {
    requested = false;
    afterPolls = -1;
    atFraction = -1;
  }
}

}  // namespace host
