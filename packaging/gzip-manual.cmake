# Run by CPack on its staging folder before the Debian package is made.
file(GLOB_RECURSE staged "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
list(FILTER staged INCLUDE REGEX "/share/man/man[1-9]/[^/]+\\.[1-9]$")
foreach(page IN LISTS staged)
  # -n keeps the name and time out of the header, so builds compare equal.
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not gzip ${page}")
  endif()
endforeach()
