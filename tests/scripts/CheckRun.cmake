# Runs the console on a script and checks what a caller relies on: the exit status, the report
# on standard output and, when asked, the trace, each exactly.
#   cmake -DCONSOLE=... -DARGS="--simulate;--virtual-time" -DSCRIPT=... -DSTATUS=1
#         [-DOUTPUT=expected.out] [-DTRACE=expected.trace -DWORK_DIR=dir] -P CheckRun.cmake
set(command ${CONSOLE} ${ARGS} --script ${SCRIPT})
if(TRACE)
  get_filename_component(name ${SCRIPT} NAME_WE)
  set(traceFile ${WORK_DIR}/${name}.trace)
  list(APPEND command --trace ${traceFile})
endif()
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE output
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
if(TRACE)
  file(READ ${TRACE} expected)
  file(READ ${traceFile} actual)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "trace differs from ${TRACE}.\n--- actual\n${actual}")
  endif()
endif()
