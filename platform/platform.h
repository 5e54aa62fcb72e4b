// The library's one door to the operating system.
//
// Every outside service is a plain function here. CMake compiles exactly one
// back end, platform/posix/ or platform/win32/, with one small file per
// service (heap.cpp, mapping.cpp, ...); no other file asks which system it is
// built for.
#ifndef TARNUTIL_PLATFORM_PLATFORM_H
#define TARNUTIL_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>

#include "platform/platform_types.h"

namespace tarnutil {
namespace platform {

// ---------------------------------------------------------------------------
// Runtime heap (heap.cpp)

// Block of bytes bytes, aligned for any object; null on failure.
void* HeapAllocate(std::size_t bytes);

// Gives back a block from HeapAllocate; null does nothing.
void HeapRelease(void* block);

// ---------------------------------------------------------------------------
// Paging-file mapping (mapping.cpp)

// Opaque handle of a mapping object; null is never a valid one.
using MappingHandle = void*;

// New read/write mapping object of bytes bytes backed by the paging file
// (no file, no name); null on failure.
MappingHandle CreateMapping(std::uint32_t bytes);

// Maps bytes bytes of mapping, from offset 0, for reading and writing; the
// view's address, or null on failure. One view per mapping at a time.
void* MapView(MappingHandle mapping, std::uint32_t bytes);

// Unmaps view, a view of mapping; call it before closing mapping. False on
// failure.
bool UnmapView(MappingHandle mapping, void* view);

// Closes a mapping handle whose views are unmapped. False on failure.
bool CloseMapping(MappingHandle mapping);

// ---------------------------------------------------------------------------
// File read (file.cpp)

// Opaque handle of an open file; FileInvalid() on failure.
using FileHandle = void*;

// The invalid-handle value: all bits set.
FileHandle FileInvalid();

// Opens an existing file for reading (generic read, shared for reading, no
// security attributes, open existing, normal attributes); FileInvalid() on
// failure. POSIX converts the wide path to the multibyte form of the
// current locale.
FileHandle FileOpenRead(const wchar_t* path);

// Reads up to bytes bytes in file order into buffer; *bytesRead receives
// the count read (0 at the end of the file). False on failure.
bool FileRead(FileHandle file, void* buffer, std::uint32_t bytes, std::uint32_t* bytesRead);

// The file's size, low 32 bits; 0xFFFFFFFF on failure.
std::uint32_t FileSize(FileHandle file);

// Closes a handle from FileOpenRead.
void FileClose(FileHandle file);

// ---------------------------------------------------------------------------
// Resources (resource.cpp)

// Opaque handle of a found resource; null when absent.
using ResourceHandle = void*;

// Finds the bitmap resource (type 2) name of module. name is a wide string,
// or an integer id below 65536 passed as a pointer value. Null when absent.
ResourceHandle ResourceFindBitmap(HINSTANCE__* module, const wchar_t* name);

// The address of a found resource's data (a packed bitmap), or null.
void* ResourceLoad(HINSTANCE__* module, ResourceHandle resource);

// Bytes of a found resource's data (the registered or stored size), 0 when
// the handle names no resource of module.
std::uint32_t ResourceBytes(HINSTANCE__* module, ResourceHandle resource);

// ---------------------------------------------------------------------------
// Memory readability test (readable_memory.cpp)

// True when some byte of [address, address + bytes) cannot be read.
bool MemoryUnreadable(const void* address, std::size_t bytes);

// ---------------------------------------------------------------------------
// File search (find_file.cpp)

// Opaque handle of a search; FindInvalid() when nothing matches.
using FindHandle = void*;

// The invalid-handle value: all bits set.
FindHandle FindInvalid();

// Starts a search for the first entry matching path (wildcards * and ? in
// the last component, as the platform matches them) and describes it in
// *data; FindInvalid() when nothing matches or the search fails.
FindHandle FindFirst(const wchar_t* path, _WIN32_FIND_DATAW* data);

// Ends a search from FindFirst.
void FindEnd(FindHandle search);

// ---------------------------------------------------------------------------
// Stream handle (stream.cpp)

// The operating-system handle behind a C stream (a FILE*): the Win32 handle,
// or the POSIX descriptor as a handle value.
void* StreamOsHandle(void* stream);

// ---------------------------------------------------------------------------
// Text conversion (text.cpp)

// Converts NUL-terminated narrow text (code page 0: the system default; on
// POSIX the current C locale) into buffer, which holds bufferChars wide
// characters, terminator included. With bufferChars 0, only returns the
// number of wide characters needed, terminator included. 0 on failure.
int NarrowToWide(const char* text, wchar_t* buffer, int bufferChars);

// ---------------------------------------------------------------------------
// Threads (threads.cpp)

// A byte that is non-zero while the process has never started a second
// thread, read without a call on the allocators' fast paths. Where the
// system publishes no such fact the byte stays 0, so callers always take
// their locked paths.
extern const char* const singleThreadedFlag;

// True while the process has never started a second thread.
inline bool SingleThreaded() {
  return *singleThreadedFlag != 0;
}

// Runs prepare just before fork(), then parent in the parent and child in
// the child: how a lock is held across the fork and then released, or made
// anew in the child, where the threads that waited for it do not exist.
// Does nothing where there is no fork. False on failure.
bool AtFork(void (*prepare)(), void (*parent)(), void (*child)());

// ---------------------------------------------------------------------------
// Graphics (graphics.cpp)

// Colour value: red + green * 256 + blue * 65536.
using Color = std::uint32_t;

// Raster operations of the block transfers.
constexpr std::uint32_t ropSourceCopy = 0x00CC0020u;
constexpr std::uint32_t ropSourceAnd = 0x008800C6u;
constexpr std::uint32_t ropSourcePaint = 0x00EE0086u;

// Colour bitmap compatible with dc, width by height; null on failure.
HBITMAP__* GfxCreateCompatibleBitmap(HDC__* dc, int width, int height);

// Bitmap of width by height with the given planes and bits per pixel, from
// initial bits (may be null); null on failure. (1, 1) makes a monochrome one.
HBITMAP__* GfxCreateBitmap(int width, int height, unsigned int planes, unsigned int bitCount,
                           const void* bits);

// Memory device context compatible with dc (null: the screen); null on failure.
HDC__* GfxCreateCompatibleDC(HDC__* dc);

// Selects object (a bitmap or brush) into dc; the object selected before,
// or null on failure.
void* GfxSelectObject(HDC__* dc, void* object);

// Block transfer with a raster operation; false on failure.
bool GfxBitBlt(HDC__* dst, int x, int y, int width, int height, HDC__* src, int srcX, int srcY,
               std::uint32_t rop);

// Stretching block transfer with a raster operation; false on failure.
bool GfxStretchBlt(HDC__* dst, int x, int y, int width, int height, HDC__* src, int srcX,
                   int srcY, int srcWidth, int srcHeight, std::uint32_t rop);

// Sets the background or text colour of dc; the previous one.
Color GfxSetBkColor(HDC__* dc, Color color);
Color GfxSetTextColor(HDC__* dc, Color color);

// Deletes a memory device context; false on failure.
bool GfxDeleteDC(HDC__* dc);

// Deletes a bitmap or brush; false on failure.
bool GfxDeleteObject(void* object);

// Pattern brush from the packed bitmap at packedDib with the colour-table
// usage; null on failure.
HBRUSH__* GfxCreatePatternBrush(const void* packedDib, unsigned int usage);

// ---------------------------------------------------------------------------
// Test hooks. Only the POSIX back end has them; the others return null.
// Tests set them while nothing else calls the service. Counting and failing
// happen only in the back end, so callers run their real failure paths.

struct HeapHooks {
  // While failNext is non-zero, the next passFirst allocations reach the
  // heap and the failNext after them return null.
  std::uint32_t passFirst;
  std::uint32_t failNext;
  // While counting is set, successful allocations and non-null releases are
  // counted.
  bool counting;
  std::uint32_t allocations;
  std::uint32_t releases;
};

// The heap hooks, or null on a back end without them.
HeapHooks* HeapTestHooks();

struct MappingHooks {
  // The next failCreate creations and failMap view mappings return null.
  std::uint32_t failCreate;
  std::uint32_t failMap;
  // Mapping objects not yet closed and views not yet unmapped.
  std::uint32_t liveMappings;
  std::uint32_t liveViews;
  // Sizes passed to the latest successful CreateMapping and MapView.
  std::uint32_t lastCreateBytes;
  std::uint32_t lastMapBytes;
};

// The mapping hooks, or null on a back end without them.
MappingHooks* MappingTestHooks();

}  // namespace platform
}  // namespace tarnutil

#endif  // TARNUTIL_PLATFORM_PLATFORM_H
