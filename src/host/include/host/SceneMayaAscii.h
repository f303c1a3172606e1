#pragma once

#include <maya/MStatus.h>

#include <string>

// The host's scene as a Maya ASCII 2022 file, for tools and tests; module code never includes
// this. Main thread only.
namespace host {

// The text of a Maya ASCII file named fileName (only shown in its comments): the header and
// "requires maya", the units (centimetres, degrees, and the lowest frame rate that puts every
// key on a whole frame, else film), then transforms and joints (parents first, with their
// non-zero translate, rotate, rotate order and joint orient), animation curves with their keys
// (times in frames, rotation values in degrees) and the connections between written nodes.
// Nodes of other types are not written.
std::string sceneMayaAscii(const std::string& fileName);

// Writes sceneMayaAscii, named after the file alone, to a UTF-8 path; kFailure when the file
// cannot be written.
MStatus writeSceneMayaAscii(const std::string& path);

}  // namespace host
