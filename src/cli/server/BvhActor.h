#pragma once

#include <string>

#include "StreamServer.h"

// Turns a BVH file into an actor the stream server can serve, reading it with the motion
// library's parser: the header follows the file's joint tree and the frames its values.
class BvhActor {
 public:
  // False, with a one-line reason in error, when the file cannot be read, does not parse, or
  // holds no motion. The actor is named after the file, without directory and extension.
  static bool load(const std::string& path, StreamServer::Actor& actor, std::string& error);
};
