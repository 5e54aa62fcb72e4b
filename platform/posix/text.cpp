// Text conversion, POSIX back end: the C library's multibyte conversion in
// the current locale (its LC_CTYPE category), where Windows uses the system
// code page. Every call keeps its own conversion state, so no hidden global
// state is touched. A program that wants UTF-8 text sets a UTF-8 locale.
#include "platform/posix/text.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <new>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {
namespace {

// What the C library's conversions return for an invalid sequence.
constexpr std::size_t conversionFailed = static_cast<std::size_t>(-1);
// What mbrtowc returns for a sequence cut off by the end of the text.
constexpr std::size_t sequenceIncomplete = static_cast<std::size_t>(-2);

}  // namespace

int NarrowToWide(const char* text, wchar_t* buffer, int bufferChars) {
  if (text == nullptr || bufferChars < 0) return 0;
  std::mbstate_t state{};
  const char* source = text;
  if (bufferChars == 0) {
    const std::size_t chars = std::mbsrtowcs(nullptr, &source, 0, &state);
    if (chars == conversionFailed || chars >= static_cast<std::size_t>(INT_MAX)) return 0;
    return static_cast<int>(chars + 1);
  }
  if (buffer == nullptr) return 0;
  const std::size_t chars =
      std::mbsrtowcs(buffer, &source, static_cast<std::size_t>(bufferChars), &state);
  // The source pointer becomes null only once the terminator is stored too;
  // otherwise the buffer was too small, which fails as on Windows.
  if (chars == conversionFailed || source != nullptr) return 0;
  return static_cast<int>(chars + 1);
}

namespace posix {

std::unique_ptr<char[]> WideToMultibyte(const wchar_t* text) {
  if (text == nullptr) return nullptr;
  std::mbstate_t state{};
  const wchar_t* source = text;
  const std::size_t bytes = std::wcsrtombs(nullptr, &source, 0, &state);
  if (bytes == conversionFailed) return nullptr;
  std::unique_ptr<char[]> out(new (std::nothrow) char[bytes + 1]);
  if (out == nullptr) return nullptr;
  state = std::mbstate_t{};
  source = text;
  std::wcsrtombs(out.get(), &source, bytes + 1, &state);
  return out;
}

void MultibyteToWideLossy(const char* text, wchar_t* out, std::size_t outChars) {
  std::mbstate_t state{};
  std::size_t left = std::strlen(text);
  std::size_t written = 0;
  while (left > 0 && written + 1 < outChars) {
    wchar_t wide = 0;
    std::size_t used = std::mbrtowc(&wide, text, left, &state);
    if (used == conversionFailed || used == sequenceIncomplete || used == 0) {
      wide = L'?';
      used = 1;
      state = std::mbstate_t{};
    }
    out[written++] = wide;
    text += used;
    left -= used;
  }
  out[written] = L'\0';
}

}  // namespace posix
}  // namespace platform
}  // namespace tarnutil
