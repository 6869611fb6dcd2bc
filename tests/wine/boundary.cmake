# The library's boundary under Wine: its load-time log, written while the
# real DLL loads in a fresh process.
mrv_add_wine_test(boundary_load_log_test SOURCES boundary/load_log_test.cpp LIBS probes_capabilities_of
                  DEPENDS mrv_sysinfo sysinfo_dump TIMEOUT 120)
