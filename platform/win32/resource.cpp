// Resources, Win32 back end: FindResourceW with the bitmap type (2), then
// LoadResource and LockResource for the packed bitmap as stored,
// SizeofResource for its size.
#include <windows.h>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {
namespace {

// The bitmap resource type, RT_BITMAP in its wide form.
constexpr WORD bitmapType = 2;

}  // namespace

ResourceHandle ResourceFindBitmap(HINSTANCE__* module, const wchar_t* name) {
  if (name == nullptr) return nullptr;
  return FindResourceW(module, name, MAKEINTRESOURCEW(bitmapType));
}

void* ResourceLoad(HINSTANCE__* module, ResourceHandle resource) {
  if (resource == nullptr) return nullptr;
  HGLOBAL loaded = LoadResource(module, static_cast<HRSRC>(resource));
  if (loaded == nullptr) return nullptr;
  return LockResource(loaded);
}

std::uint32_t ResourceBytes(HINSTANCE__* module, ResourceHandle resource) {
  if (resource == nullptr) return 0;
  return static_cast<std::uint32_t>(SizeofResource(module, static_cast<HRSRC>(resource)));
}

}  // namespace platform
}  // namespace tarnutil
