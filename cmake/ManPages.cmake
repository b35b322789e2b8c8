# trawlex_man_page(<program target> <one-line description> [INCLUDE <file>]):
# the program's manual page, made by help2man from its --help and --version
# at build time (in English whatever the builder's locale), with the sections
# of the INCLUDE file added, compressed as Debian ships manual pages
# (gzip -9n: no name, no time) and installed in man1.
include(GNUInstallDirs)

function(trawlex_man_page target description)
  cmake_parse_arguments(ARG "" "INCLUDE" "" ${ARGN})
  find_program(HELP2MAN_EXECUTABLE help2man)
  find_program(GZIP_EXECUTABLE gzip)
  if(NOT HELP2MAN_EXECUTABLE OR NOT GZIP_EXECUTABLE)
    message(WARNING "help2man or gzip not found: the manual page of ${target} is not made "
                    "(scripts/install-deps installs them)")
    return()
  endif()
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  set(include_args)
  if(ARG_INCLUDE)
    set(include_args --include ${ARG_INCLUDE})
  endif()
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 LANGUAGE=en
            ${HELP2MAN_EXECUTABLE} --no-info --no-discard-stderr --name ${description}
            --section 1 ${include_args} --output ${page} $<TARGET_FILE:${target}>
    COMMAND ${GZIP_EXECUTABLE} -9 -n -f ${page}
    DEPENDS ${target} ${ARG_INCLUDE}
    COMMENT "Writing the manual page of ${target}"
    VERBATIM)
  add_custom_target(${target}-man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
