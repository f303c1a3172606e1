#pragma once

#include <maya/MString.h>

#include <string>

namespace host {

// The host's own text (names, paths, messages: UTF-8) as an MString, never through the char*
// forms, which read the system's encoding as Maya's do.
inline MString utf8String(const std::string& text) {
  MString result;
  result.setUTF8(text.c_str());
  return result;
}

}  // namespace host
