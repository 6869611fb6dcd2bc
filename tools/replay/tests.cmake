# sysinfo_replay's command line run as the program itself: exit status,
# stdout and stderr for good and bad input. Included by tests/CMakeLists.txt
# (tests can only be added once testing is enabled).
add_test(NAME sysinfo_replay_command_line
         COMMAND "${CMAKE_COMMAND}" "-DREPLAY=$<TARGET_FILE:sysinfo_replay>" "-DTESTS=${PROJECT_SOURCE_DIR}/tests"
                 "-DWORK=${CMAKE_CURRENT_BINARY_DIR}/sysinfo_replay_command_line"
                 -P "${PROJECT_SOURCE_DIR}/tools/replay/command_line_check.cmake")
set_tests_properties(sysinfo_replay_command_line PROPERTIES TIMEOUT 60 LABELS native)
