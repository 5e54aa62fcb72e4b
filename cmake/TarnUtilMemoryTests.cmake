# The unload check loads the built shared library at run time, so it links
# neither the library nor the object library.
if(TARNUTIL_PLATFORM STREQUAL "win32")
  # Found beside the program, in the one output folder.
  set(unload_library $<TARGET_FILE_NAME:tarnutil>)
else()
  set(unload_library $<TARGET_FILE:tarnutil>)
endif()
add_executable(unload_check ${PROJECT_SOURCE_DIR}/tests/unload/unload_check.cpp
                            ${PROJECT_SOURCE_DIR}/tests/unload/${TARNUTIL_PLATFORM}.cpp)
target_compile_options(unload_check PRIVATE ${TARNUTIL_WARNINGS})
target_compile_definitions(unload_check PRIVATE TARNUTIL_UNLOAD_LIBRARY="${unload_library}")
target_include_directories(unload_check PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(unload_check PRIVATE GTest::gtest_main ${CMAKE_DL_LIBS})
add_dependencies(unload_check tarnutil)
tarnutil_add_test_program(unload_check)
