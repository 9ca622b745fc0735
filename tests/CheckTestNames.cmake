# cmake -DCTEST=ctest -DBUILD=folder -P CheckTestNames.cmake
# Fails when a line of `ctest -N` in BUILD is 120 characters or longer.
execute_process(COMMAND ${CTEST} -N WORKING_DIRECTORY ${BUILD}
  OUTPUT_VARIABLE listing RESULT_VARIABLE listed)
if(NOT listed EQUAL 0)
  message(FATAL_ERROR "ctest -N failed in ${BUILD}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(too_long 0)
foreach(line IN LISTS lines)
  string(LENGTH "${line}" length)
  if(length GREATER_EQUAL 120)
    message("${length} characters: ${line}")
    math(EXPR too_long "${too_long} + 1")
  endif()
endforeach()
if(too_long GREATER 0)
  message(FATAL_ERROR "${too_long} test names do not fit 120 columns: shorten them "
                      "(or give the parameterized suite a shorter name generator)")
endif()
