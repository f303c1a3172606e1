#pragma once

#include <string>
#include <vector>

// A joint or actor name as the stream sends it, made one that a BVH text and a Maya node can
// hold: ASCII letters, digits and '_' stay, and so does each whole UTF-8 sequence beyond ASCII
// other than a space or a line break; every other byte becomes '_'. A name that is then empty,
// begins with a digit or is a word of the BVH grammar as a text spells it (HIERARCHY, ROOT,
// JOINT, End, Site, OFFSET, CHANNELS, MOTION, Frames, Frame, Time, or END, SITE, FRAMES, FRAME,
// TIME) gets a '_' in front; "Root" or "time" stay. Other ASCII names of letters, digits and '_'
// come out unchanged.
std::string safeStreamName(const std::string& name);

// safeStreamName of each, in order; a name that comes out as an earlier one did is followed by
// "_2", "_3", ... (the first free), so that no two are the same.
std::vector<std::string> safeStreamNames(const std::vector<std::string>& names);
