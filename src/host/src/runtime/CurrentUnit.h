#pragma once

#include <maya/MStatus.h>

#include <string>
#include <vector>

namespace host {

// Maya's currentUnit command on the scene's UI units. Setting: any of -l/-linear, -a/-angle,
// -t/-time with a unit name, long or short ("m", "meter"; "deg", "degree"; "ntsc"), all set or
// none. Query (-q/-query) with one of them: the result is the unit's short name, its long name
// with -f/-fullName. Changing the time unit keeps keys at their times in seconds, as Maya's
// default -updateAnimation does. A bad flag or unit shows "currentUnit: <what is wrong>" and
// returns kInvalidParameter.
MStatus runCurrentUnit(const std::vector<std::string>& args);

}  // namespace host
