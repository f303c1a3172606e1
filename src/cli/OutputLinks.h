#pragma once

#include <maya/MStatus.h>

#include <string>

// Connects a joint's translate and rotate to a netDevice node's outputTranslate<k> and
// outputRotate<k> ("node.attribute"). The outputs are plain numbers holding the stream's
// centimetres and degrees, and the unitConversion a connection gets takes its factor from the UI
// units of the moment: the connections are made under centimetres and degrees, so that translate
// arrives as internal centimetres and rotate through pi/180 whatever units the scene shows, and
// the scene's units are put back after. The first failing status (both connections are tried).
MStatus linkJointToOutputs(const std::string& translate, const std::string& rotate,
                           const std::string& joint);
