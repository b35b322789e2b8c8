# Debian's hardening flags for the optimised builds, the ones that are
# installed and packaged: dpkg-buildflags with hardening=+all gives the stack
# protector, fortified C library calls (_FORTIFY_SOURCE), format checks and
# read-only relocations bound at start (relro, bind-now). Its -g and -O2 are
# left out: the build type chooses the optimisation and debug information.
# The sanitizer and fuzzing builds keep their own instrumentation.
if(TRAWLEX_SANITIZE OR TRAWLEX_TSAN OR TRAWLEX_FUZZ
   OR NOT CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  return()
endif()
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
  message(WARNING "dpkg-buildflags not found: built without Debian's hardening flags "
                  "(scripts/install-deps installs dpkg-dev)")
  return()
endif()

function(_trawlex_buildflags kind out_var)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${DPKG_BUILDFLAGS} --get ${kind}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(REMOVE_ITEM flags -g -O2)
  set(${out_var} ${flags} PARENT_SCOPE)
endfunction()

_trawlex_buildflags(CPPFLAGS cppflags)
_trawlex_buildflags(CFLAGS cflags)
_trawlex_buildflags(CXXFLAGS cxxflags)
_trawlex_buildflags(LDFLAGS ldflags)
add_compile_options(${cppflags})
foreach(flag IN LISTS cflags)
  add_compile_options($<$<COMPILE_LANGUAGE:C>:${flag}>)
endforeach()
foreach(flag IN LISTS cxxflags)
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:${flag}>)
endforeach()
add_link_options(${ldflags})
