# The library as a linux-gpib client sees it: soname libgpib.so.0, no Qt among what it needs,
# every symbol it defines under GPIB_DUMMY_VERSION; and the client bound to that version.
execute_process(COMMAND readelf -d --dyn-syms -W ${LIBRARY} OUTPUT_VARIABLE lib)
execute_process(COMMAND readelf -d --dyn-syms -W ${CLIENT} OUTPUT_VARIABLE client)
if(NOT lib MATCHES "Library soname: \\[libgpib\\.so\\.0\\]" OR lib MATCHES "NEEDED[^\n]*Qt")
  message(FATAL_ERROR "${LIBRARY}: not soname libgpib.so.0, or it needs Qt")
endif()
string(REGEX MATCHALL "GLOBAL +DEFAULT +[0-9]+ [^\n]*" defined "${lib}")
list(LENGTH defined count)
foreach(symbol IN LISTS defined)
  if(NOT symbol MATCHES "@@GPIB_DUMMY_VERSION$")
    message(FATAL_ERROR "exported without the version node: ${symbol}")
  endif()
endforeach()
if(count LESS 66 OR NOT client MATCHES "NEEDED[^\n]*\\[libgpib\\.so\\.0\\]" OR
   NOT client MATCHES "ibdev@GPIB_DUMMY_VERSION")
  message(FATAL_ERROR "${count} symbols exported, or ${CLIENT} not bound to GPIB_DUMMY_VERSION")
endif()
