#pragma once

#include <optional>
#include <string>
#include <vector>

// The plug-in module loaded into the headless host, as Maya loads it. Main thread only.
class PluginSession {
 public:
  // The running program's path, and its directory.
  static std::string programPath();
  static std::string programDirectory();
  // The program of the command line beside this one: "serve" is <program directory>/marvik-serve
  // (.exe on Windows).
  static std::string helperProgram(const std::string& name);
  // $MARVIK_PLUGIN when set, else the module built beside this program:
  // <program directory>/../plug-ins/marvikMocap.so (.mll on Windows).
  static std::string modulePath();
  // Loads the module unless it is loaded already. False, with a one-line reason, on failure.
  static bool load(std::string& error);
  // The option string a BVH file is read with, once the module is loaded: none gives the
  // translator's registered default; given options follow that default, so that an option they
  // do not name keeps its default rather than the translator's construction value (bones only).
  static std::optional<std::string> bvhOptions(const std::optional<std::string>& given);
  // What Maya does on exit: ends device threads, empties the scene and unloads the module.
  static void end();
  // The errors the host has shown since the last call, joined by "; ".
  static std::string takeErrors();
  // The warnings the host has shown since the last call, in order.
  static std::vector<std::string> takeWarnings();
  // Writes the scene as JSON and as Maya ASCII to the paths that are not empty, printing
  // `wrote` and the path for each file written and "<program>: cannot write <path>" to standard
  // error for each that fails. False if any write failed.
  static bool writeScene(const char* program, const std::string& json, const std::string& ma,
                         const char* wrote);
};
