#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>
#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Long work on the main thread: the wait cursor, an optional progress window (interactive Maya
// only, never in batch) and Esc, which isInterruptRequested reports until endComputation.
class MComputation {
 public:
  MComputation();
  virtual ~MComputation();

  void beginComputation(bool showProgressBar = false, bool isInterruptable = true,
                        bool useWaitCursor = true);
  bool isInterruptRequested();
  void endComputation();

  MStatus setProgressRange(const int minValue, const int maxValue);
  int progressMin(MStatus* ReturnStatus = NULL) const;
  int progressMax(MStatus* ReturnStatus = NULL) const;
  MStatus setProgress(const int value);
  int progress(MStatus* ReturnStatus = NULL) const;

 private:
  MComputation(const MComputation&) = delete;
  MComputation& operator=(const MComputation&) = delete;

  bool active = false;
  bool interruptible = true;
  int minimum = 0;
  int maximum = 100;
  int value = 0;
};

OPENMAYA_NAMESPACE_CLOSE
