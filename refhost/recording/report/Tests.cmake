# Included by refhost/tests/CMakeLists.txt, where the scenario runs are made:
# their output folders are the fixtures of these two tests.
find_program(HALVET_NODE NAMES node nodejs)
set(REPORT_BROWSER /usr/bin/chromium CACHE FILEPATH "Chromium for the report's browser test")
if(NOT HALVET_NODE)
  # A check that cannot run fails: a green run without it would hide drift.
  add_test(NAME protocol_reference_matches_runs
           COMMAND ${CMAKE_COMMAND} -E echo "node not found: the protocol reference cannot be checked")
  set_tests_properties(protocol_reference_matches_runs PROPERTIES WILL_FAIL ON)
  return()
endif()
set(REPORT_RUNS refhost_default_scenario refhost_example_lifecycle)
foreach(s IN LISTS REFHOST_PANEL_SCENARIOS)
  list(APPEND REPORT_RUNS refhost_example_${s})
endforeach()
# The protocol reference is checked against these runs of the real DLL, and
# only these: each run folder is made afresh by its test.
set(PROTOCOL_RUNS ${REPORT_RUNS} refhost_stand_in_road)
foreach(road IN LISTS REFHOST_ENGINE_ROADS)
  list(APPEND PROTOCOL_RUNS refhost_engine_${road})
endforeach()
set_tests_properties(${PROTOCOL_RUNS} PROPERTIES FIXTURES_SETUP refhost_runs)
set(PROTOCOL_RUN_FOLDERS)
foreach(run IN LISTS PROTOCOL_RUNS)
  list(APPEND PROTOCOL_RUN_FOLDERS ${CMAKE_CURRENT_BINARY_DIR}/out/${run})
endforeach()

add_test(NAME refhost_report_in_browser
         COMMAND ${HALVET_NODE} ${CMAKE_SOURCE_DIR}/refhost/recording/report/check-report.js
                 ${CMAKE_CURRENT_BINARY_DIR}/out/refhost_default_scenario ${REPORT_BROWSER})
add_test(NAME protocol_reference_matches_runs
         COMMAND ${HALVET_NODE} ${CMAKE_SOURCE_DIR}/refhost/recording/report/check-protocol.js
                 ${CMAKE_SOURCE_DIR}/docs/protocol.md --dll $<TARGET_FILE:HalvetPanelUI>
                 ${PROTOCOL_RUN_FOLDERS})
set_tests_properties(refhost_report_in_browser protocol_reference_matches_runs PROPERTIES
  FIXTURES_REQUIRED refhost_runs TIMEOUT 180)

# The page and the drift check do not depend on the DLL's width: once is enough.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_test(NAME protocol_reference_check_catches_drift
           COMMAND ${HALVET_NODE} ${CMAKE_SOURCE_DIR}/refhost/recording/report/check-protocol.test.js)
  add_test(NAME refhost_report_of_a_long_run_opens_one_part
           COMMAND ${HALVET_NODE} ${CMAKE_SOURCE_DIR}/refhost/recording/report/check-report.js --long
                   ${CMAKE_BINARY_DIR}/refhost/recording/report/report-template.html
                   ${CMAKE_CURRENT_BINARY_DIR}/out/report_long_run ${REPORT_BROWSER})
  set_tests_properties(refhost_report_of_a_long_run_opens_one_part PROPERTIES TIMEOUT 180)
endif()
