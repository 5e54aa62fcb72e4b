# The C interface from C: a C99 program built with the target's C compiler,
# linked against the shared library only (on Windows through the import
# library made from the .def file, as a program built with another
# toolchain would), and on Windows a check of the DLL's export table.
enable_language(C)

add_executable(c_interface_c_test ${PROJECT_SOURCE_DIR}/capi/c_interface_c_test.c)
set_target_properties(c_interface_c_test PROPERTIES
  C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
target_compile_options(c_interface_c_test PRIVATE -Wall -Wextra -pedantic
                       $<$<BOOL:${TARNUTIL_WERROR}>:-Werror>)
if(TARNUTIL_C_IMPLIB)
  target_include_directories(c_interface_c_test PRIVATE
                             $<TARGET_PROPERTY:tarnutil,INTERFACE_INCLUDE_DIRECTORIES>)
  target_link_libraries(c_interface_c_test PRIVATE ${TARNUTIL_C_IMPLIB})
  add_dependencies(c_interface_c_test tarnutil tarnutil_c_implib)
else()
  target_link_libraries(c_interface_c_test PRIVATE tarnutil)
endif()
if(NOT WIN32)
  target_link_libraries(c_interface_c_test PRIVATE m)
endif()
add_test(NAME CInterfaceFromC COMMAND c_interface_c_test)

# The DLL exports the .def file's names undecorated, and imports nothing
# but system DLLs (the GCC runtime, libstdc++ and winpthread are linked in).
if(WIN32)
  add_test(NAME DllExportTable
           COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:tarnutil> -DOBJDUMP=${CMAKE_OBJDUMP}
                   -DDEF=${PROJECT_SOURCE_DIR}/capi/tarnutil_c.def
                   -P ${PROJECT_SOURCE_DIR}/tests/check_dll_exports.cmake)
endif()
