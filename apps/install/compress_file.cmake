# Compresses SOURCE with mscompress (SZDD) into OUTPUT. With STRIP set (a
# strip program), a program's debugging information is removed first.
# mscompress writes "<file>_" beside its input, so the source is copied to a
# work name first; the result is renamed only once it is complete.
if(NOT SOURCE OR NOT OUTPUT OR NOT MSCOMPRESS)
  message(FATAL_ERROR "compress_file.cmake: SOURCE, OUTPUT and MSCOMPRESS are required")
endif()
# mscompress 0.4 writes wrong data for inputs shorter than 16 bytes.
file(SIZE "${SOURCE}" size)
if(size LESS 16)
  message(FATAL_ERROR "${SOURCE} has ${size} bytes: mscompress needs 16 or more")
endif()
set(name "content")
set(work "${OUTPUT}.work")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
file(COPY_FILE "${SOURCE}" "${work}/${name}")
if(STRIP)
  execute_process(COMMAND "${STRIP}" --strip-debug "${work}/${name}" RESULT_VARIABLE stripped)
  if(NOT stripped EQUAL 0)
    message(FATAL_ERROR "${STRIP} failed on ${SOURCE}")
  endif()
endif()
execute_process(COMMAND "${MSCOMPRESS}" "${name}" WORKING_DIRECTORY "${work}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT EXISTS "${work}/${name}_")
  message(FATAL_ERROR "mscompress failed on ${SOURCE}")
endif()
file(RENAME "${work}/${name}_" "${OUTPUT}")
file(REMOVE_RECURSE "${work}")
