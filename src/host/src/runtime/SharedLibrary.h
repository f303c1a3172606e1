#pragma once

#include <string>

namespace host {

// The system's shared-library loader: dlopen on POSIX, LoadLibraryW on Windows. With
// model/SystemText, the only places where the host differs by platform.
namespace SharedLibrary {

// Opens the library at a UTF-8 path with every symbol bound now. Null on failure, with the
// system's reason in error.
void* open(const std::string& path, std::string& error);
// The address of an exported symbol, or null.
void* symbol(void* library, const char* name);
void close(void* library);

}  // namespace SharedLibrary

}  // namespace host
