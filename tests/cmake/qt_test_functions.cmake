# Run after a Qt Test program is linked: writes the names of its test
# functions, one a line, into OUTPUT. The program lists them itself
# (-functions), offscreen, without running any.
set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND "${PROGRAM}" -functions
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} -functions a échoué (${status}) :\n${errors}")
endif()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*\\(\\)" found "${listing}")
set(functions)
foreach(entry IN LISTS found)
  string(REPLACE "()" "" name "${entry}")
  list(APPEND functions "${name}")
endforeach()
if(NOT functions)
  message(FATAL_ERROR "${PROGRAM} -functions ne donne aucune fonction de test")
endif()
list(JOIN functions "\n" text)
file(WRITE "${OUTPUT}.new" "${text}\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
