# The library as a linux-gpib client sees it: soname libgpib.so.0, no Qt among what it needs,
# every entry point of linux-gpib's documented interface exported under GPIB_DUMMY_VERSION and
# nothing else; and the client bound to that version. A client program is bound at load time to
# every entry point it was linked with, so one missing name fails it whole.
set(interface
  ibsta iberr ibcnt ibcntl ThreadIbsta ThreadIberr ThreadIbcnt ThreadIbcntl
  AsyncIbsta AsyncIberr AsyncIbcnt AsyncIbcntl gpib_error_string parse_gpib_conf
  ibask ibbna ibcac ibclr ibcmd ibcmda ibconfig ibdev ibdma ibeos ibeot ibevent ibfind ibgts
  ibist iblines ibln ibloc ibonl ibpad ibpct ibppc ibrd ibrda ibrdf ibrpp ibrsc ibrsp ibrsv
  ibrsv2 ibsad ibsic ibspb ibsre ibstop ibtmo ibtrg ibvers ibwait ibwrt ibwrta ibwrtf
  AllSpoll AllSPoll DevClear DevClearList EnableLocal EnableRemote FindLstn FindRQS
  PassControl PPoll PPollConfig PPollUnconfig RcvRespMsg ReadStatusByte Receive ReceiveSetup
  ResetSys Send SendCmds SendDataBytes SendIFC SendList SendLLO SendSetup SetRWLS TestSRQ
  TestSys Trigger TriggerList WaitSRQ)
list(LENGTH interface expected)

execute_process(COMMAND readelf -d --dyn-syms -W ${LIBRARY} OUTPUT_VARIABLE lib)
execute_process(COMMAND readelf -d --dyn-syms -W ${CLIENT} OUTPUT_VARIABLE client)
if(NOT lib MATCHES "Library soname: \\[libgpib\\.so\\.0\\]" OR lib MATCHES "NEEDED[^\n]*Qt")
  message(FATAL_ERROR "${LIBRARY}: not soname libgpib.so.0, or it needs Qt")
endif()
string(REGEX MATCHALL "GLOBAL +DEFAULT +[0-9]+ [^\n]*" defined "${lib}")
set(exported)
foreach(symbol IN LISTS defined)
  if(NOT symbol MATCHES " ([A-Za-z_0-9]+)@@GPIB_DUMMY_VERSION$")
    message(FATAL_ERROR "exported without the version node: ${symbol}")
  endif()
  list(APPEND exported ${CMAKE_MATCH_1})
endforeach()
set(missing ${interface})
list(REMOVE_ITEM missing ${exported})
set(extra ${exported})
list(REMOVE_ITEM extra ${interface})
if(missing OR extra)
  message(FATAL_ERROR "missing from the library: ${missing}; exported beyond it: ${extra}")
endif()
if(NOT expected EQUAL 86 OR NOT client MATCHES "NEEDED[^\n]*\\[libgpib\\.so\\.0\\]" OR
   NOT client MATCHES "ibdev@GPIB_DUMMY_VERSION")
  message(FATAL_ERROR "${expected} names listed, or ${CLIENT} not bound to GPIB_DUMMY_VERSION")
endif()
