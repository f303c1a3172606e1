#pragma once

#include <cstddef>

// Hands a BVH reader the values of its frames in place of the text's motion lines, for frames
// held as numbers already (a recorded take). Used for one parse.
class iFrameSource {
 public:
  virtual ~iFrameSource() = default;

  // Stores the next frame's first `count` values into `values`, each as parseReal would read it
  // from text; returns how many it stored, fewer only once the frames have run out.
  virtual std::size_t nextFrame(double* values, std::size_t count) = 0;
};
