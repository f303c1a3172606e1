#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

// "marvikMocapRecord": records takes of the current device node's stream (see TakeSession).
//   -start [-fps F] [-memoryLimit MB]: starts a take keyed from the current time, at F frames/s
//     (default: the stream's measured rate), keeping at most MB megabytes of frames (2048).
//   -stop [-file DIR]: ends it and builds it; the result is the root joints made, one per actor
//     and skeleton. With -file, the takes are also written as BVH files into DIR.
//   -query (-q): the result is "recording frames=<n> seconds=<s.s>", "full frames=<n>
//     seconds=<s.s>" (the take reached its limit and waits for -stop) or "idle".
//   -cancel: ends the take and keeps nothing.
// Exactly one of them; kFailure, with an error shown, on a bad flag or value, and as
// TakeSession says.
class MarvikMocapRecordCmd : public MPxCommand {
 public:
  ~MarvikMocapRecordCmd() override;
  MStatus doIt(const MArgList& args) override;

  static void* creator();
};
