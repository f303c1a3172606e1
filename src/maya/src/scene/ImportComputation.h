#pragma once

#include <maya/MComputation.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <cstdint>
#include <vector>

// The progress and Esc of one build into the scene (an import, a take's skeletons), through
// Maya's MComputation: a progress window in interactive Maya only, never in batch. The build
// polls before each joint, so an interrupt falls between joints, and keeps here what a merge
// changes so that an interrupted one can be put back. Main thread; begins on construction and
// ends on destruction.
class ImportComputation {
 public:
  ImportComputation();
  ~ImportComputation();
  ImportComputation(const ImportComputation&) = delete;
  ImportComputation& operator=(const ImportComputation&) = delete;

  // The work is split in `count` equal parts (skeletons); part `index` starts now. Its units are
  // counted from 0 of addWork's total.
  void beginPart(int index, int count);
  void addWork(std::uint64_t units);
  // Before a unit of work: shows the progress so far and polls for an interrupt. False once one
  // was requested, and from then on.
  bool proceed();
  bool interrupted() const { return stopped; }

  // Keeps the animation of the joint's rotate and translate plugs (their curves' keys with their
  // tangents, or that they had none; keyable and locked) as they are before a merge keys them.
  void keepCurves(const MObject& joint);
  // Puts back what keepCurves kept, last joint first: curves the merge added are deleted, keys
  // it replaced restored. Shows nothing; the first failure.
  MStatus restoreCurves();

 private:
  struct Kept;

  MComputation computation;
  int part = 0;
  int parts = 1;
  std::uint64_t total = 0;
  std::uint64_t done = 0;
  bool stopped = false;
  std::vector<Kept> kept;
};
