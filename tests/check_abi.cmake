# Writes the ABI of the shared library LIBRARY (types from the public
# headers in HEADERS, folders separated by |) to CURRENT with abidw, then
# compares it with the committed BASELINE with abidiff: added functions and variables pass, any
# other change (a removal, a changed signature, a changed layout of CDIB, the
# allocators or ST_LINK, a new SONAME) fails. With WRITE_BASELINE=ON it
# rewrites BASELINE instead, on purpose. With SELF_TEST=ON it compares with a
# copy of BASELINE in which CDIB is 32 bits larger, and fails unless abidiff
# reports it: a guard that passes everything would pass that too.
set(abidw_args --no-show-locs --no-corpus-path --no-comp-dir-path --drop-undefined-syms
               --drop-private-types)
string(REPLACE "|" ";" header_dirs "${HEADERS}")
foreach(dir IN LISTS header_dirs)
  list(APPEND abidw_args --headers-dir ${dir})
endforeach()
set(target ${CURRENT})
if(WRITE_BASELINE)
  set(target ${BASELINE})
endif()
execute_process(COMMAND ${ABIDW} ${abidw_args} --out-file ${target} ${LIBRARY}
                RESULT_VARIABLE abidw_rc)
if(NOT abidw_rc EQUAL 0)
  message(FATAL_ERROR "abidw failed on ${LIBRARY}")
endif()
if(WRITE_BASELINE)
  message(STATUS "ABI baseline written: ${BASELINE}")
  return()
endif()
if(SELF_TEST)
  file(READ ${BASELINE} xml)
  if(NOT xml MATCHES "<class-decl name='CDIB' size-in-bits='([0-9]+)'")
    message(FATAL_ERROR "no CDIB in ${BASELINE}")
  endif()
  math(EXPR larger "${CMAKE_MATCH_1} + 32")
  string(REPLACE "<class-decl name='CDIB' size-in-bits='${CMAKE_MATCH_1}'"
                 "<class-decl name='CDIB' size-in-bits='${larger}'" xml "${xml}")
  set(BASELINE ${CURRENT}.altered)
  file(WRITE ${BASELINE} "${xml}")
endif()
execute_process(COMMAND ${ABIDIFF} --no-added-syms ${BASELINE} ${CURRENT}
                OUTPUT_VARIABLE diff_out ERROR_VARIABLE diff_out RESULT_VARIABLE diff_rc)
if(SELF_TEST)
  if(diff_rc EQUAL 0)
    message(FATAL_ERROR "abidiff passed a CDIB of another size")
  endif()
  message(STATUS "abidiff reports a changed CDIB layout")
  return()
endif()
if(NOT diff_rc EQUAL 0)
  message(FATAL_ERROR "The library's ABI differs from ${BASELINE} (abidiff status ${diff_rc}):\n"
                      "${diff_out}\n"
                      "An incompatible change needs a new major version and SONAME (see "
                      "CHANGELOG.md); a deliberate one is recorded with scripts/abi_baseline.sh.")
endif()
message(STATUS "ABI compatible with ${BASELINE} (additions allowed)")
