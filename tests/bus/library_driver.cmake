# The library driver against stand-in driver libraries: one source, one flavour per
# compile definition, each a real shared library opened at run time.
function(add_standin_gpib name)
  add_library(${name} SHARED ${CMAKE_CURRENT_LIST_DIR}/standin_gpib.cpp)
  target_compile_definitions(${name} PRIVATE ${ARGN})
  # Only the driver's C entry points and the test controls are exported, as in the real thing.
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                           VISIBILITY_INLINES_HIDDEN ON)
endfunction()

add_standin_gpib(standin_gpib)
add_standin_gpib(standin_gpib_ni STANDIN_NI)
add_standin_gpib(standin_gpib_vars STANDIN_STATUS_VARIABLES)
add_standin_gpib(standin_gpib_partial STANDIN_WITHOUT_FINDLSTN)
add_standin_gpib(standin_gpib_nostatus STANDIN_WITHOUT_STATUS)

add_executable(library_driver_tests ${CMAKE_CURRENT_LIST_DIR}/library_driver_test.cpp)
target_link_libraries(library_driver_tests PRIVATE bus GTest::gtest_main ${CMAKE_DL_LIBS})
target_compile_definitions(library_driver_tests PRIVATE
  STANDIN_GPIB="$<TARGET_FILE:standin_gpib>"
  STANDIN_GPIB_NI="$<TARGET_FILE:standin_gpib_ni>"
  STANDIN_GPIB_VARS="$<TARGET_FILE:standin_gpib_vars>"
  STANDIN_GPIB_PARTIAL="$<TARGET_FILE:standin_gpib_partial>"
  STANDIN_GPIB_NOSTATUS="$<TARGET_FILE:standin_gpib_nostatus>"
)
add_dependencies(library_driver_tests
  standin_gpib standin_gpib_ni standin_gpib_vars standin_gpib_partial standin_gpib_nostatus)
add_test(NAME library_driver_tests COMMAND library_driver_tests)
