# Run by CPack on the installed tree before it packages: the compilers' version
# notes (.comment) are of no use in a shipped program, as dh_strip also finds.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_DIRECTORY}/*")
list(FILTER programs INCLUDE REGEX "/usr/bin/[^/]+$")
foreach(program IN LISTS programs)
  execute_process(COMMAND objcopy --remove-section=.comment "${program}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
if(NOT programs)
  message(FATAL_ERROR "no programs under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
