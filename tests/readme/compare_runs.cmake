# Runs the README example built as C and as C++ on one capture: both must succeed, print
# parameters, and print the same lines.
foreach(kind C CXX)
  execute_process(COMMAND ${PROGRAM_${kind}} ${INPUT} RESULT_VARIABLE rc
    OUTPUT_FILE ${WORK}/readme_host_${kind}.txt)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the ${kind} build of the README example exited with ${rc}")
  endif()
endforeach()
file(STRINGS ${WORK}/readme_host_C.txt lines LIMIT_COUNT 2)
list(LENGTH lines count)
if(count LESS 2)
  message(FATAL_ERROR "the README example printed no parameters")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/readme_host_C.txt
  ${WORK}/readme_host_CXX.txt RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "the C and C++ builds of the README example print different lines")
endif()
