#pragma once

#include <maya/MString.h>

#include <string>

// The module's text (paths, joint and actor names, messages that quote them: UTF-8 everywhere) as
// an MString. Maya reads a char* in the system's code page (the ANSI one on Windows), which would
// garble every letter beyond ASCII; MString::asUTF8 reads the text back.
MString utf8String(const std::string& text);
