# `cmake --install` into a fresh prefix puts the command, its manual page and its bash completion
# where man and bash-completion look for them. Run with -DBUILD=<build dir> -DPREFIX=<folder>.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}" RESULT_VARIABLE nResult
                OUTPUT_QUIET)
if(NOT nResult EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${nResult}")
endif()
foreach(strFile bin/vantry share/man/man1/vantry.1 share/bash-completion/completions/vantry)
  if(NOT EXISTS "${PREFIX}/${strFile}")
    message(FATAL_ERROR "not installed: ${strFile}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
