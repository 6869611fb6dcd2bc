# Machine profiles recorded on this Wine machine by sysinfo_record.exe and
# replayed by sysinfo_replay.exe, compared with the real DLL's document.
mrv_add_wine_test(profile_recording_test SOURCES profiles/profile_recording_test.cpp LIBS probes_capabilities_of
                  DEPENDS mrv_sysinfo sysinfo_dump sysinfo_record sysinfo_replay)
