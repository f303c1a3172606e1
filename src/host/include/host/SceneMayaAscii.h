#pragma once

#include <maya/MStatus.h>

#include <string>

// The host's scene as a Maya ASCII 2022 file, for tools and tests; module code never includes
// this. Main thread only.
namespace host {

// The text of a Maya ASCII file named fileName (only shown in its comments): the header and
// "requires maya", the units (the scene's linear and angular UI units; its time unit when every
// key falls on one of its frames, else the lowest rate that puts them all on whole frames, else
// the scene's), then transforms and joints (parents first, with their non-zero translate,
// rotate, rotate order and joint orient), animation curves (default tangent ".tan", ".wgt",
// keys with times in frames, the types of tangents other than the default as Maya's codes),
// unitConversion nodes with their factor, the time slider's ranges in Maya's
// sceneConfigurationScriptNode, and the connections between written nodes. Values are in the
// file's units. Nodes of other types are not written.
std::string sceneMayaAscii(const std::string& fileName);

// Writes sceneMayaAscii, named after the file alone, to a UTF-8 path; kFailure when the file
// cannot be written.
MStatus writeSceneMayaAscii(const std::string& path);

}  // namespace host
