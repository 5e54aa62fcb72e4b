#include "tools/tool_platform.h"

#include <clocale>
#include <cstdlib>
#include <cwchar>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After <windows.h>, whose macros it uses.
#include <shellapi.h>
#endif

namespace tarnutil {
namespace cli {

#if defined(_WIN32)

namespace {

std::string Utf8(const wchar_t* wide) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) {
    return std::string();
  }
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], bytes, nullptr, nullptr);
  text.pop_back();  // the terminator counted above
  return text;
}

}  // namespace

std::vector<std::string> PrepareProcess(int argc, char** argv) {
  std::setlocale(LC_CTYPE, "");
  // Text mode would turn every LF into CR LF and stop reading at ^Z.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // The narrow arguments went through the ANSI code page and lost what it
  // cannot spell; the wide command line has every character.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (wide == nullptr) {
    args.assign(argv, argv + argc);
    return args;
  }
  for (int i = 0; i < count; ++i) {
    args.push_back(Utf8(wide[i]));
  }
  LocalFree(wide);
  return args;
}

std::wstring WidePath(const std::string& path) {
  const int count =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
  if (count <= 0) {
    return std::wstring();
  }
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, &wide[0], count);
  wide.pop_back();
  return wide;
}

std::FILE* OpenFileForWriting(const std::string& path) {
  const std::wstring wide = WidePath(path);
  return wide.empty() ? nullptr : _wfopen(wide.c_str(), L"wb");
}

#else

std::vector<std::string> PrepareProcess(int argc, char** argv) {
  std::setlocale(LC_CTYPE, "");
  return std::vector<std::string>(argv, argv + argc);
}

std::wstring WidePath(const std::string& path) {
  // Through the user's character set, as the library turns it back.
  const std::size_t count = std::mbstowcs(nullptr, path.c_str(), 0);
  if (count == static_cast<std::size_t>(-1)) {
    return std::wstring();
  }
  std::wstring wide(count + 1, L'\0');
  std::mbstowcs(&wide[0], path.c_str(), count + 1);
  wide.resize(count);
  return wide;
}

std::FILE* OpenFileForWriting(const std::string& path) {
  return std::fopen(path.c_str(), "wb");
}

#endif

}  // namespace cli
}  // namespace tarnutil
