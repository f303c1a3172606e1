#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

// "marvikMocapRecord": records takes of the current device node's stream (see TakeSession).
//   -start (-st) [-fps (-r) F] [-memoryLimit (-ml) MB]: starts a take keyed from the current
//     time, at F frames/s (default: the stream's measured rate), keeping at most MB megabytes of
//     frames (2048).
//   -stop (-sp) [-file (-f) DIR]: ends it and builds it; the result is the root joints made, one
//     per actor and skeleton. With -file, the takes are also written as BVH files into DIR.
//   -query (-q): the result is "recording frames=<n> seconds=<s.s>", "full frames=<n>
//     seconds=<s.s>" (the take reached its limit and waits for -stop), "interrupted frames=<n>
//     seconds=<s.s>" (a -stop was interrupted; the take waits for another) or "idle".
//   -cancel (-cn): ends the take and keeps nothing.
// Exactly one of them; kFailure, with an error naming the flag and what to give instead, on a
// bad combination or value, and as TakeSession says.
class MarvikMocapRecordCmd : public MPxCommand {
 public:
  ~MarvikMocapRecordCmd() override;
  MStatus doIt(const MArgList& args) override;

  static void* creator();
  static MSyntax newSyntax();
};
