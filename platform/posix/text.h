// Conversions between wide text and the multibyte form of the current C
// locale, shared by the POSIX services that take or give file names.
#ifndef TARNUTIL_PLATFORM_POSIX_TEXT_H
#define TARNUTIL_PLATFORM_POSIX_TEXT_H

#include <cstddef>
#include <memory>

namespace tarnutil {
namespace platform {
namespace posix {

// NUL-terminated multibyte form of text in the current locale; null when
// text is null, holds a character the locale cannot express, or memory
// cannot be had.
std::unique_ptr<char[]> WideToMultibyte(const wchar_t* text);

// Decodes the NUL-terminated multibyte text into out, which holds outChars
// wide characters, terminator included (outChars at least 1). A byte that
// starts no valid character becomes '?', so that names the locale cannot
// decode are still shown; text past outChars - 1 characters is cut off.
void MultibyteToWideLossy(const char* text, wchar_t* out, std::size_t outChars);

}  // namespace posix
}  // namespace platform
}  // namespace tarnutil

#endif  // TARNUTIL_PLATFORM_POSIX_TEXT_H
