// Loads and unloads a shared library at run time and looks at the address
// space, for the unload check. One implementation per system, chosen by
// CMake.
#ifndef TARNUTIL_TESTS_UNLOAD_LIBRARY_LOADER_H
#define TARNUTIL_TESTS_UNLOAD_LIBRARY_LOADER_H

namespace tarnutil {
namespace unloadcheck {

// The loaded library, or null.
void* LoadSharedLibrary(const char* path);

// Address of an exported function or object by its linker name, or null.
void* FindExport(void* library, const char* name);

// True when the library was unloaded without error.
bool UnloadSharedLibrary(void* library);

// True while the library at path is loaded in this process.
bool IsLoaded(const char* path);

// True while address lies in a read/write view or anonymous mapping.
bool IsMappedMemory(const void* address);

}  // namespace unloadcheck
}  // namespace tarnutil

#endif  // TARNUTIL_TESTS_UNLOAD_LIBRARY_LOADER_H
