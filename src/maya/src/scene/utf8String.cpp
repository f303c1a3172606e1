#include "scene/utf8String.h"

MString utf8String(const std::string& text) {
  MString result;
  result.setUTF8(text.c_str());
  return result;
}
