#pragma once

#include <string>

#include "BREX_PLUG_MESSAGE.pb.h"

// The BVH text of a streamed skeleton header: the hierarchy of root, every joint's name made safe
// (safeStreamNames, over the whole tree) and followed by the actor slot (Hips in slot 0 is Hips0),
// offsets written so that each reads back as the same float, and an empty motion section.
std::string bvhHeaderText(const BrexPlugs::BVH_JOIN& root, int slot);

// The hierarchy of a text bvhHeaderText wrote for slot, without its motion section and with each
// joint named as the header names it, made safe: the slot suffix taken off every ROOT and JOINT
// line.
std::string actorHierarchy(const std::string& text, int slot);
