#pragma once

#include <string>
#include <vector>

// The subcommands of marvik. Each takes the arguments after its name, writes its output and
// returns the process exit code: 0 success, 1 failure, 2 bad usage.
int serveCommand(const std::vector<std::string>& args);
int demoCommand(const std::vector<std::string>& args);

// Usage text of all subcommands.
extern const char kMarvikUsage[];
