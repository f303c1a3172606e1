#pragma once

#include <cstdio>
#include <string>

// File calls that Windows and POSIX spell differently, so that TakeRecorder has no #ifdef.
namespace filePlatform {

// Creates path (UTF-8) for binary writing, only when nothing is there yet: the check and the
// creation are one system call, so two writers can never both get the same file. Null on
// failure, with the error number (errno's, EEXIST when the name is taken) in error.
std::FILE* createNew(const std::string& path, int& error);

}  // namespace filePlatform
