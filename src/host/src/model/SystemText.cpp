#include "model/SystemText.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace host {

#ifdef _WIN32

namespace {

std::wstring wideFrom(UINT codePage, const std::string& text) {
  const int size = static_cast<int>(text.size());
  const int wideSize = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), wideSize);
  return wide;
}

std::string narrowTo(UINT codePage, const std::wstring& wide) {
  const int wideSize = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(codePage, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), wideSize, text.data(), size, nullptr, nullptr);
  return text;
}

}  // namespace

std::string utf8FromSystem(const std::string& text) {
  if (text.empty()) return text;
  return narrowTo(CP_UTF8, wideFrom(CP_ACP, text));
}

std::string systemFromUtf8(const std::string& text) {
  if (text.empty()) return text;
  return narrowTo(CP_ACP, wideFrom(CP_UTF8, text));
}

#else

std::string utf8FromSystem(const std::string& text) { return text; }

std::string systemFromUtf8(const std::string& text) { return text; }

#endif

}  // namespace host
