# The console started for a window system that is not there: a clear message and a failure
# status, not an abort. Run with -DCONSOLE=path.
foreach(display "--unset=DISPLAY" "DISPLAY=:73")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=WAYLAND_DISPLAY ${display} QT_QPA_PLATFORM=xcb
            ${CONSOLE} --simulate
    RESULT_VARIABLE status ERROR_VARIABLE stderr OUTPUT_QUIET TIMEOUT 60)
  if(NOT status MATCHES "^[1-9][0-9]*$" OR NOT stderr MATCHES "cannot open a window")
    message(FATAL_ERROR "${display}: status '${status}', standard error:\n${stderr}")
  endif()
endforeach()
