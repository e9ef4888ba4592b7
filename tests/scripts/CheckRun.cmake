# Runs the console and checks what a caller relies on: the exit status, and when asked the
# report on standard output, the message on standard error and a file written (a trace, a data
# log), each exactly.
#   cmake -DCONSOLE=... -DARGS="--simulate;--script;x.script" -DSTATUS=1
#         [-DOUTPUT=expected.out] [-DFILE=expected.trace -DWRITTEN=written.trace]
#         [-DERRORS="what standard error says"] -P CheckRun.cmake
# The written file is removed first: a data log appends to what it finds.
if(WRITTEN)
  file(REMOVE ${WRITTEN})
endif()
execute_process(COMMAND ${CONSOLE} ${ARGS} RESULT_VARIABLE status OUTPUT_VARIABLE output
                ERROR_VARIABLE errors)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\n${output}${errors}")
endif()
if(OUTPUT)
  file(READ ${OUTPUT} expected)
  if(NOT output STREQUAL expected)
    message(FATAL_ERROR "report differs.\n--- expected\n${expected}--- actual\n${output}")
  endif()
endif()
if(ERRORS AND NOT errors STREQUAL ERRORS)
  message(FATAL_ERROR "standard error differs.\n--- expected\n${ERRORS}--- actual\n${errors}")
endif()
if(FILE)
  file(READ ${FILE} expected)
  file(READ ${WRITTEN} actual)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${WRITTEN} differs from ${FILE}.\n--- actual\n${actual}")
  endif()
endif()
