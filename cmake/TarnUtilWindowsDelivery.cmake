# Windows delivery: a DLL that needs nothing beside it, an import library for
# Microsoft's linker made from the C interface's .def file, and a ZIP of DLL,
# import libraries, headers and tool. Included from the top for Windows
# targets only.
if(NOT WIN32)
  return()
endif()

# The GCC runtime, libstdc++ and winpthread linked in, so the DLL imports
# only system DLLs. Programs built by another toolchain bring their own C++
# runtime, which is why only the C interface is theirs to use.
target_link_options(tarnutil PRIVATE -static)

# dlltool of the compiler's own binutils, next to it or by its triple.
get_filename_component(tarnutil_tool_prefix ${CMAKE_CXX_COMPILER} NAME)
string(REGEX REPLACE "g\\+\\+(-posix|-win32)?$" "" tarnutil_tool_prefix "${tarnutil_tool_prefix}")
find_program(TARNUTIL_DLLTOOL NAMES ${tarnutil_tool_prefix}dlltool dlltool)
if(TARNUTIL_DLLTOOL)
  # libtarnutil.lib names only the C interface; Microsoft's linker reads it
  # as it reads its own import libraries.
  set(TARNUTIL_C_IMPLIB ${PROJECT_BINARY_DIR}/libtarnutil.lib)
  add_custom_command(OUTPUT ${TARNUTIL_C_IMPLIB}
    COMMAND ${TARNUTIL_DLLTOOL} --machine i386:x86-64 --dllname libtarnutil.dll
            --input-def ${PROJECT_SOURCE_DIR}/capi/tarnutil_c.def --output-lib ${TARNUTIL_C_IMPLIB}
    DEPENDS ${PROJECT_SOURCE_DIR}/capi/tarnutil_c.def
    COMMENT "Import library of the C interface for Microsoft's linker")
  add_custom_target(tarnutil_c_implib ALL DEPENDS ${TARNUTIL_C_IMPLIB})
else()
  message(WARNING "dlltool not found: no import library for Microsoft's linker")
endif()

if(TARNUTIL_INSTALL AND TARNUTIL_C_IMPLIB)
  install(FILES ${TARNUTIL_C_IMPLIB} capi/tarnutil_c.def DESTINATION ${CMAKE_INSTALL_LIBDIR}
          COMPONENT Development)
endif()
# The ZIP itself is set up with the other packages (TarnUtilPackaging.cmake).
