# Debian's hardening flags for the optimised builds of the programs that are
# installed and packaged: dpkg-buildflags with hardening=+all gives the stack
# protector, fortified C library calls (_FORTIFY_SOURCE), format checks and
# read-only relocations bound at start (relro, bind-now). Its -g and -O2 are
# left out: the build type chooses the optimisation and debug information.
# trawlex_harden(<program>...) applies them to the programs and to every
# library of the project they link; the tests, benchmarks and tools keep the
# plain flags (fortified calls would turn their unchecked set-up calls into
# errors). The sanitizer and fuzzing builds keep their own instrumentation.
set(TRAWLEX_HARDENING OFF)
function(trawlex_harden)
  if(NOT TRAWLEX_HARDENING)
    return()
  endif()
  set(targets)
  foreach(program IN LISTS ARGN)
    if(TARGET ${program})
      _trawlex_collect_links(${program} libraries)
      list(APPEND targets ${program} ${libraries})
      target_link_options(${program} PRIVATE ${TRAWLEX_HARDENING_LDFLAGS})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES targets)
  foreach(target IN LISTS targets)
    if(NOT TARGET ${target})
      continue()
    endif()
    get_target_property(imported ${target} IMPORTED)
    get_target_property(type ${target} TYPE)
    if(imported OR type STREQUAL "INTERFACE_LIBRARY")
      continue()
    endif()
    target_compile_options(${target} PRIVATE ${TRAWLEX_HARDENING_CPPFLAGS})
    foreach(flag IN LISTS TRAWLEX_HARDENING_CFLAGS)
      target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C>:${flag}>)
    endforeach()
    foreach(flag IN LISTS TRAWLEX_HARDENING_CXXFLAGS)
      target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${flag}>)
    endforeach()
  endforeach()
endfunction()

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

foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${DPKG_BUILDFLAGS} --get ${kind}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(REMOVE_ITEM flags -g -O2)
  set(TRAWLEX_HARDENING_${kind} ${flags})
endforeach()
set(TRAWLEX_HARDENING ON)
