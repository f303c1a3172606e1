#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

// "marvikMocapStatus": sets the result to one line on the stream connection, "<state>
// <host>:<port> actors=<n> frames=<n> fps=<n.n> lastFrameMs=<ms> reconnects=<n>", followed
// while a take is held by " take=<recording|full|interrupted> takeFrames=<n> takeSeconds=<s.s>".
// With -query (-q) and one of the flags, the result is that value alone: -state (-s),
// -address (-a), -actors (-ac), -frames (-fr), -fps (-r), -lastFrameMs (-lf), -reconnects (-rc),
// -take (-t, "idle" without a take). Needs no device node: the connection belongs to the process.
class MarvikMocapStatusCmd : public MPxCommand {
 public:
  ~MarvikMocapStatusCmd() override;
  MStatus doIt(const MArgList& args) override;

  static void* creator();
  static MSyntax newSyntax();
};
