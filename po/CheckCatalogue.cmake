# cmake -DXGETTEXT=... -DMSGCMP=... -DSOURCES=... -DSOURCE_DIR=... -DCATALOGUE=... -DPOT=...
#   -P CheckCatalogue.cmake
# Extracts the marked texts of SOURCES afresh and fails unless CATALOGUE
# translates every one of them.
execute_process(COMMAND ${XGETTEXT} -o ${POT} ${SOURCES}
  WORKING_DIRECTORY ${SOURCE_DIR}
  RESULT_VARIABLE extracted)
if(NOT extracted EQUAL 0)
  message(FATAL_ERROR "xgettext failed on ${SOURCES}")
endif()
execute_process(COMMAND ${MSGCMP} ${CATALOGUE} ${POT} RESULT_VARIABLE compared)
if(NOT compared EQUAL 0)
  message(FATAL_ERROR "${CATALOGUE} lacks translations of the texts above: "
                      "cmake --build . --target pot, then msgmerge -U ${CATALOGUE} po/quorvale.pot")
endif()
