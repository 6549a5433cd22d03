# Run by cpack in its staging directory before the package is made: strips the programs and the
# Python extension (symbols, .comment and .note) and the archives (debug information only, so
# they still link), as Debian's dh_strip does.
find_program(STRIP NAMES strip REQUIRED)
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file ${staged})
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  if(file MATCHES "\\.a$")
    execute_process(COMMAND ${STRIP} --strip-debug --remove-section=.comment --remove-section=.note
                            --enable-deterministic-archives "${file}" COMMAND_ERROR_IS_FATAL ANY)
  elseif(file MATCHES "\\.so$")
    execute_process(COMMAND ${STRIP} --strip-unneeded --remove-section=.comment --remove-section=.note "${file}"
                    COMMAND_ERROR_IS_FATAL ANY)
  elseif(file MATCHES "/usr/bin/[^/]+$")
    execute_process(COMMAND ${STRIP} --remove-section=.comment --remove-section=.note "${file}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
