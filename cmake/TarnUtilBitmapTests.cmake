# Bitmap files from independent writers for dib_files_test. The generator
# runs on the build host (also for cross builds, where only the test program
# runs emulated) and needs Pillow and ImageMagick's convert: without them the
# build fails rather than skipping the tests.
if(NOT TARGET dib_files_test)
  return()
endif()

# Debian's interpreter first: Pillow (python3-pil) is installed for it, while
# a python3 found earlier on PATH may lack it.
set(TARNUTIL_BITMAP_PYTHON "" CACHE FILEPATH "Python 3 with Pillow for the bitmap test data")
if(NOT TARNUTIL_BITMAP_PYTHON)
  find_program(TARNUTIL_PATH_PYTHON3 NAMES python3)
  foreach(candidate /usr/bin/python3 ${TARNUTIL_PATH_PYTHON3})
    if(EXISTS ${candidate})
      execute_process(COMMAND ${candidate} -c "import PIL" RESULT_VARIABLE pil_rc
                      OUTPUT_QUIET ERROR_QUIET)
      if(pil_rc EQUAL 0)
        set(TARNUTIL_BITMAP_PYTHON ${candidate} CACHE FILEPATH
            "Python 3 with Pillow for the bitmap test data" FORCE)
        break()
      endif()
    endif()
  endforeach()
endif()
find_program(TARNUTIL_IMAGEMAGICK_CONVERT NAMES convert-im6.q16 convert magick)

set(dib_data_dir ${PROJECT_BINARY_DIR}/bitmap_testdata)
set(dib_generator ${PROJECT_SOURCE_DIR}/bitmap/testdata/make_bitmaps.py)
if(TARNUTIL_BITMAP_PYTHON AND TARNUTIL_IMAGEMAGICK_CONVERT)
  set(dib_generate_command ${TARNUTIL_BITMAP_PYTHON} ${dib_generator} --out ${dib_data_dir}
                           --convert ${TARNUTIL_IMAGEMAGICK_CONVERT})
else()
  message(WARNING "dib_files_test needs python3 with Pillow (python3-pil) and ImageMagick's "
                  "convert (imagemagick); building it will fail until both are installed")
  set(dib_generate_command ${CMAKE_COMMAND} -E echo
      "error: install python3-pil and imagemagick, then re-run cmake" COMMAND ${CMAKE_COMMAND} -E false)
endif()

add_custom_command(
  OUTPUT ${dib_data_dir}/manifest.txt
  COMMAND ${dib_generate_command}
  DEPENDS ${dib_generator}
  COMMENT "Writing bitmap test files with ImageMagick and Pillow"
  VERBATIM)
add_custom_target(dib_testdata DEPENDS ${dib_data_dir}/manifest.txt)
add_dependencies(dib_files_test dib_testdata)
target_compile_definitions(dib_files_test PRIVATE TARNUTIL_DIB_DATA_DIR="${dib_data_dir}")

