#pragma once

#include <optional>
#include <string>
#include <vector>

// The subcommands of marvik. Each takes the arguments after its name, writes its output and
// returns the process exit code: 0 success, 1 failure, 2 bad usage.
int serveCommand(const std::vector<std::string>& args);
int recordCommand(const std::vector<std::string>& args);
int importCommand(const std::vector<std::string>& args);
int liveCommand(const std::vector<std::string>& args);
int demoCommand(const std::vector<std::string>& args);
int convertCommand(const std::vector<std::string>& args);
int previewCommand(const std::vector<std::string>& args);
// The worker processes of convert, started by it: files on standard input, results on standard
// output, both as NUL-terminated records.
int convertWorkerCommand(const std::vector<std::string>& args);

// An import of one BVH file through the plug-in's "BVH" translator.
struct ImportRequest {
  std::string file;
  std::optional<std::string> options;  // none: the translator's registered default
  bool open = false;                   // Maya's open mode: empty the scene first
  std::string json;                    // scene dumps to write afterwards, when not empty
  std::string ma;
  // A BVH file to export the imported skeleton to through the translator's writer (Export
  // All), when not empty, with these options (none: the translator's registered default).
  std::string bvh;
  std::optional<std::string> bvhOptions;
  bool progress = false;                  // a progress bar on a terminal, for large files
  const char* program = "marvik import";  // the name its messages start with
};

// Loads the plug-in, imports and prints the summary; leaves the plug-in loaded and the scene
// as the import made it. The exit code.
int importBvh(const ImportRequest& request);
// Exports the scene's skeleton to request.bvh (nothing when empty) and prints the path; the exit
// code, 1 with the translator's error on standard error when the export fails.
int exportBvh(const ImportRequest& request);

// A headless live session through the plug-in's node and commands.
struct LiveRequest {
  std::string host = "127.0.0.1";
  std::string port = "7005";
  double seconds = 0;  // 0: until interrupted
  std::string json;    // scene dumps of the recorded keys, when not empty
  std::string ma;
  bool view = true;  // the refreshing view on a terminal (else a line a second)
  // Record a take of the whole session with "marvikMocapRecord", built into the scene at the end.
  bool record = false;
};

// Runs the session and prints what it saw; leaves the plug-in loaded. The exit code.
int liveSession(const LiveRequest& request);

// Usage text of all subcommands.
extern const char kMarvikUsage[];
