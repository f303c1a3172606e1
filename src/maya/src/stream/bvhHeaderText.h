#pragma once

#include <string>

#include "BREX_PLUG_MESSAGE.pb.h"

// The BVH text of a streamed skeleton header: the hierarchy of root, every joint named with
// the actor slot as suffix (Hips in slot 0 is Hips0), and an empty motion section.
std::string bvhHeaderText(const BrexPlugs::BVH_JOIN& root, int slot);
