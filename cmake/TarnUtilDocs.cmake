# The API reference: Doxygen over the headers as installed (every header
# under include/tarnutil/ and the generated ones beside the export macro),
# with the README as its main page. `cmake --build <dir> --target docs`
# writes <dir>/docs/html; a warning, such as an exported declaration without
# a /// comment, fails the build. Top level only: an embedding project may
# have a docs target of its own.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E echo "The API reference needs Doxygen (Debian: apt-get install doxygen)."
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
  return()
endif()

file(GLOB TARNUTIL_DOC_HEADERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/tarnutil/*.h)
list(APPEND TARNUTIL_DOC_HEADERS
  ${TARNUTIL_GENERATED_INCLUDE}/tarnutil/platform_types.h
  ${TARNUTIL_GENERATED_INCLUDE}/tarnutil/posix_graphics.h
  ${TARNUTIL_GENERATED_INCLUDE}/tarnutil/version.h)
# Doxygen documents a header's free functions, and warns about the ones
# without a comment, only in a header that has a \file comment: a header
# without one would pass with nothing checked.
set(TARNUTIL_DOC_UNCHECKED)
foreach(header IN LISTS TARNUTIL_DOC_HEADERS)
  file(STRINGS ${header} file_comment REGEX "[\\\\@]file")
  if(NOT file_comment)
    list(APPEND TARNUTIL_DOC_UNCHECKED ${header})
  endif()
endforeach()
if(TARNUTIL_DOC_UNCHECKED)
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E echo "No '/// \\file' comment, so Doxygen would not check: ${TARNUTIL_DOC_UNCHECKED}"
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
  return()
endif()
list(JOIN TARNUTIL_DOC_HEADERS " \\\n    " TARNUTIL_DOC_INPUT)
set(TARNUTIL_DOC_OUTPUT ${PROJECT_BINARY_DIR}/docs)
configure_file(${PROJECT_SOURCE_DIR}/cmake/Doxyfile.in ${PROJECT_BINARY_DIR}/Doxyfile @ONLY)
add_custom_target(docs
  COMMAND ${CMAKE_COMMAND} -E remove_directory ${TARNUTIL_DOC_OUTPUT}
  COMMAND ${DOXYGEN_EXECUTABLE} ${PROJECT_BINARY_DIR}/Doxyfile
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "API reference in ${TARNUTIL_DOC_OUTPUT}/html"
  VERBATIM)
