# Binary packages with CPack, one per install component:
#   Runtime      libtarnutil<SOVERSION>  the shared library
#   Development  libtarnutil-dev         headers, link name, CMake package, pkg-config file
#   Tools        tarnutil-tools          the tarnutil tool and its manual page
# Documentation (licence and changelog under share/doc/TarnUtil) belongs to a
# plain install only: each Debian package carries its own copyright file.
#
# Debian packages (not on Windows) are built from a tree configured for /usr:
#   cmake -S . -B b -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE=None \
#         -DCMAKE_SKIP_INSTALL_RPATH=ON -DTARNUTIL_BUILD_TOOLS=ON
#   cmake --build b && (cd b && cpack -G DEB)
# scripts/check_packages.sh does that with Debian's build flags, runs lintian
# and builds a program against the unpacked packages.

# The runtime package is named after the SONAME, so a new SONAME is a new
# package that installs beside the old one.
set(TARNUTIL_SOVERSION ${PROJECT_VERSION_MAJOR})
set(TARNUTIL_DEB_RUNTIME libtarnutil${TARNUTIL_SOVERSION})
set(TARNUTIL_DEB_DEV libtarnutil-dev)
set(TARNUTIL_DEB_TOOLS tarnutil-tools)
set(TARNUTIL_DEB_REVISION 1)
set(TARNUTIL_DEB_VERSION ${PROJECT_VERSION}-${TARNUTIL_DEB_REVISION})
set(TARNUTIL_DEB_MAINTAINER "The TarnUtil developers <tarnutil@example.org>" CACHE STRING
    "Maintainer field of the Debian packages")

# ---------------------------------------------------------------------------
# Settings every generator shares.
set(CPACK_PACKAGE_NAME tarnutil)
set(CPACK_PACKAGE_VENDOR "The TarnUtil developers")
set(CPACK_PACKAGE_CONTACT "${TARNUTIL_DEB_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_COMPONENTS_ALL Runtime Development)
if(TARGET tarnutil_cli)
  list(APPEND CPACK_COMPONENTS_ALL Tools)
endif()

# The tool's manual page, when the tool has one; compressed as Debian ships
# manual pages.
set(TARNUTIL_MAN_PAGE ${PROJECT_SOURCE_DIR}/tools/tarnutil.1)
if(TARGET tarnutil_cli AND EXISTS ${TARNUTIL_MAN_PAGE})
  if(WIN32)
    install(FILES ${TARNUTIL_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Tools)
  else()
    # At configure time; the copy makes a changed page configure again.
    find_program(TARNUTIL_GZIP gzip REQUIRED)
    configure_file(${TARNUTIL_MAN_PAGE} ${PROJECT_BINARY_DIR}/packaging/tarnutil.1 COPYONLY)
    execute_process(COMMAND ${TARNUTIL_GZIP} -9n -f ${PROJECT_BINARY_DIR}/packaging/tarnutil.1
                    RESULT_VARIABLE gzip_result)
    if(NOT gzip_result EQUAL 0)
      message(FATAL_ERROR "gzip failed on the manual page")
    endif()
    install(FILES ${PROJECT_BINARY_DIR}/packaging/tarnutil.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Tools)
  endif()
endif()

# ---------------------------------------------------------------------------
# Windows: one ZIP of everything installed (DLL, both import libraries,
# headers, CMake and pkg-config files, licence, changelog and the tool).
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME TarnUtil)
  set(CPACK_PACKAGE_FILE_NAME TarnUtil-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  list(APPEND CPACK_COMPONENTS_ALL Documentation)
endif()

# ---------------------------------------------------------------------------
# Debian packages.
if(NOT WIN32)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE ${TARNUTIL_DEB_REVISION})
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARNUTIL_DEB_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # libc6, libstdc++6 and libgcc-s1 from the binaries themselves; a shlibs
  # file so that programs built against the library depend on it.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${TARNUTIL_DEB_RUNTIME})
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  # The linker cache is refreshed by dpkg's ldconfig trigger, not by direct
  # calls from maintainer scripts.
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers
      ${PROJECT_SOURCE_DIR}/cmake/debian/postinst ${PROJECT_SOURCE_DIR}/cmake/debian/postrm)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"exact planar geometry, clipping and geodesy library
TarnUtil is a small C++17 library of the computations a map renderer and a
route engine share: planar measures, rectangle clipping, polyline thinning,
rhumb lines and a Lambert conformal conic projection, road-link chaining,
two special allocators and a bitmap wrapper. Every result is the same to the
last bit on every supported target.
This package holds the shared library.")

  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${TARNUTIL_DEB_DEV})
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${TARNUTIL_DEB_RUNTIME} (= ${TARNUTIL_DEB_VERSION})")
  set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
"exact planar geometry, clipping and geodesy library - development files
TarnUtil is a small C++17 library of the computations a map renderer and a
route engine share, with results the same to the last bit on every target.
This package holds the headers, the CMake package (find_package(TarnUtil),
target TarnUtil::tarnutil) and the pkg-config file (tarnutil).")
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SHLIBDEPS OFF)

  set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${TARNUTIL_DEB_TOOLS})
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${TARNUTIL_DEB_RUNTIME} (= ${TARNUTIL_DEB_VERSION})")
  set(CPACK_DEBIAN_TOOLS_DESCRIPTION
"command-line tool for the TarnUtil library
The tarnutil command computes distances, segment directions, clipping,
thinning, rhumb lines and the Lambert projection from text rows, chains road
links, reads bitmaps and draws a demonstration map, through the TarnUtil
shared library.")
  # The tool's own library is found in the build tree; the dependency on its
  # package, built beside it, is stated above.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})

  # Each package's /usr/share/doc/<package>: the licence in Debian's
  # machine-readable copyright format and a Debian changelog. Installed only
  # by a component install, as CPack does, never by a plain install.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence_text)
  string(REGEX REPLACE "\n+$" "" licence_text "${licence_text}")
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" licence_holder "${licence_text}")
  set(licence_holder "${CMAKE_MATCH_1}")
  string(REPLACE "\n\n" "\n.\n" licence_body "${licence_text}")
  string(REPLACE "\n" "\n " licence_body "${licence_body}")
  set(deb_dir ${PROJECT_BINARY_DIR}/packaging)
  file(WRITE ${deb_dir}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: TarnUtil

Files: *
Copyright: ${licence_holder}
License: Expat
 ${licence_body}
")
  # The date is the configure time, or SOURCE_DATE_EPOCH for a reproducible
  # package.
  string(TIMESTAMP deb_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  find_program(TARNUTIL_GZIP gzip REQUIRED)
  foreach(component IN ITEMS Runtime Development Tools)
    string(TOUPPER ${component} upper)
    set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
    file(WRITE ${deb_dir}/${package}/changelog.Debian
"${package} (${TARNUTIL_DEB_VERSION}) unstable; urgency=medium

  * TarnUtil ${PROJECT_VERSION}; see /usr/share/doc/${TARNUTIL_DEB_DEV}/changelog.gz
    in the development package for the changes.

 -- ${TARNUTIL_DEB_MAINTAINER}  ${deb_date}
")
    execute_process(COMMAND ${TARNUTIL_GZIP} -9n -f ${deb_dir}/${package}/changelog.Debian
                    RESULT_VARIABLE gzip_result)
    if(NOT gzip_result EQUAL 0)
      message(FATAL_ERROR "gzip failed on ${deb_dir}/${package}/changelog.Debian")
    endif()
    install(FILES ${deb_dir}/copyright ${deb_dir}/${package}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
            COMPONENT ${component} EXCLUDE_FROM_ALL)
  endforeach()
  # The project's own changelog, for developers, under Debian's name for it.
  execute_process(COMMAND ${TARNUTIL_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                  OUTPUT_FILE ${deb_dir}/changelog.gz)
  install(FILES ${deb_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${TARNUTIL_DEB_DEV}
          COMPONENT Development EXCLUDE_FROM_ALL)
endif()

include(CPack)
