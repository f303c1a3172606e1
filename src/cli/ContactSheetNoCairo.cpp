// Contact sheets in builds without Cairo (the Windows build, which Debian has no Cairo for): the
// layout is there, the drawing is not.
#include "ContactSheet.h"

bool ContactSheet::available() { return false; }

std::string ContactSheet::writePng(const std::string&) const {
  return "pictures are not in this build (it was built without Cairo)";
}
