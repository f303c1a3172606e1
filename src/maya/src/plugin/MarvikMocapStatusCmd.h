#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

// "marvikMocapStatus": sets the result to one line on the stream connection, "<state>
// <host>:<port> actors=<n> frames=<n> fps=<n.n> lastFrameMs=<ms> reconnects=<n>", followed
// while a take is held by " take=<recording|full> takeFrames=<n> takeSeconds=<s.s>". Needs no
// device node: the connection belongs to the process.
class MarvikMocapStatusCmd : public MPxCommand {
 public:
  ~MarvikMocapStatusCmd() override;
  MStatus doIt(const MArgList& args) override;

  static void* creator();
};
