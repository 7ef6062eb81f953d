# lumigal_add_qt_test(<target> [NAME <name>] [ENVIRONMENT <VAR=value>...])
#
# Registers each test function of the Qt Test program <target> as its own
# CTest test, "<name>.<function>" (<name> defaults to <target>), which runs
# the program with the function's name as argument. The list of functions
# is the program's own answer to -functions, written after each link, so it
# follows the source without a parser; CTest reads it when it runs. The
# tests run offscreen with the given environment; a function that skips
# (QSKIP, for instance as root) is reported as skipped.
set(LUMIGAL_QT_TEST_LISTER "${CMAKE_CURRENT_LIST_DIR}/qt_test_functions.cmake")

function(lumigal_add_qt_test target)
  cmake_parse_arguments(T "" "NAME" "ENVIRONMENT" ${ARGN})
  if(NOT T_NAME)
    set(T_NAME ${target})
  endif()
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_functions.txt")
  set(include_file "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_tests.cmake")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DOUTPUT=${list_file}
      -P ${LUMIGAL_QT_TEST_LISTER}
    BYPRODUCTS ${list_file}
    COMMENT "Liste des fonctions de test de ${target}"
    VERBATIM)
  set(environment "QT_QPA_PLATFORM=offscreen" ${T_ENVIRONMENT})
  list(REMOVE_DUPLICATES environment)
  file(GENERATE OUTPUT "${include_file}" CONTENT "\
if(EXISTS [==[${list_file}]==])
  file(STRINGS [==[${list_file}]==] functions)
  foreach(function IN LISTS functions)
    set(name \"${T_NAME}.\${function}\")
    add_test(\"\${name}\" [==[$<TARGET_FILE:${target}>]==] \"\${function}\")
    set_tests_properties(\"\${name}\" PROPERTIES
      ENVIRONMENT [==[${environment}]==]
      SKIP_REGULAR_EXPRESSION [==[SKIP   : ]==])
  endforeach()
else()
  add_test([==[${T_NAME}_NOT_BUILT]==] [==[${T_NAME}_NOT_BUILT]==])
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()
