#pragma once

// Results of the skeleton operations and of the motion-data readers. Any non-zero value is a
// failure; no text is attached to any of them.
enum MocapStatus : int {
  kMocapOk = 0,
  kMocapEndOfInput = 1,  // the tokenizer has no more tokens; never returned by a reader
  kMocapNoStream = 2,
  kMocapNoSkeleton = 3,
  kMocapNoJoint = 4,  // the cursor cannot move, or there is no place for a new joint
  kMocapDuplicateName = 5,
  kMocapSyntaxError = 6,
};
