// The tool's own platform seam: the few services whose spelling differs on
// Windows. Only tool_platform.cpp tests the platform.
#ifndef TARNUTIL_TOOLS_TOOL_PLATFORM_H
#define TARNUTIL_TOOLS_TOOL_PLATFORM_H

#include <cstdio>
#include <string>
#include <vector>

namespace tarnutil {
namespace cli {

// Sets up the process: the user's character set for file names (LC_CTYPE
// only; numbers stay in the C locale) and binary standard streams, so that
// every platform writes the same bytes. Returns the arguments as UTF-8.
std::vector<std::string> PrepareProcess(int argc, char** argv);

// Creates (or truncates) a file named in UTF-8 for binary writing; null on
// failure.
std::FILE* OpenFileForWriting(const std::string& path);

// A UTF-8 file name as the wide text the library's bitmap loader takes;
// empty when it cannot be converted.
std::wstring WidePath(const std::string& path);

}  // namespace cli
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_TOOL_PLATFORM_H
