#pragma once

#include <string>

namespace host {

// Text between UTF-8, in which the host keeps every name, path and message, and the system's
// multibyte encoding, which Maya's char* API speaks (MString(const char*), asChar): on Windows
// the ANSI code page, where letters it lacks become its default character ("?") and bytes that
// are not UTF-8 become U+FFFD; elsewhere the locale's, which the host takes as UTF-8, bytes as
// given. With runtime/SharedLibrary, the only places where the host differs by platform.
std::string utf8FromSystem(const std::string& text);
std::string systemFromUtf8(const std::string& text);

}  // namespace host
