#pragma once

#include <string>

// The plug-in module loaded into the headless host, as Maya loads it. Main thread only.
class PluginSession {
 public:
  // The directory of the running program.
  static std::string programDirectory();
  // $MARVIK_PLUGIN when set, else the module built beside this program:
  // <program directory>/../plug-ins/marvikMocap.so.
  static std::string modulePath();
  // Loads the module unless it is loaded already. False, with a one-line reason, on failure.
  static bool load(std::string& error);
  // What Maya does on exit: ends device threads, empties the scene and unloads the module.
  static void end();
  // The errors the host has shown since the last call, joined by "; ".
  static std::string takeErrors();
};
