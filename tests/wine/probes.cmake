# The probes in the real library under Wine: where nvml.dll is looked for,
# Wine's DXGI adapter with and without a display, and the processor, memory
# and drive figures. The NVML doubles carry other names in bin/; a case
# copies one into its own folder as nvml.dll.
add_library(nvml_double SHARED probes/nvml_double.cpp)
add_library(nvml_double_without_shutdown SHARED probes/nvml_double.cpp)
target_compile_definitions(nvml_double_without_shutdown PRIVATE NVML_DOUBLE_WITHOUT_SHUTDOWN)
foreach(double IN ITEMS nvml_double nvml_double_without_shutdown)
  set_target_properties(${double} PROPERTIES PREFIX "")
  mrv_warnings(${double})
endforeach()

add_library(probes_capabilities_of STATIC probes/capabilities_of.cpp)
target_link_libraries(probes_capabilities_of PUBLIC wine_test_support mrv_json)
mrv_warnings(probes_capabilities_of)

mrv_add_wine_test(probes_nvml_loading_test SOURCES probes/nvml_loading_test.cpp LIBS probes_capabilities_of
                  DEPENDS mrv_sysinfo sysinfo_dump sysinfo_record nvml_double nvml_double_without_shutdown)
mrv_add_wine_test(probes_dxgi_adapter_test SOURCES probes/dxgi_adapter_test.cpp LIBS probes_capabilities_of
                  DEPENDS mrv_sysinfo sysinfo_dump)
mrv_add_wine_test(probes_no_display_test SOURCES probes/no_display_test.cpp LIBS probes_capabilities_of dxgi
                  DEPENDS mrv_sysinfo NO_DISPLAY)
mrv_add_wine_test(probes_platform_figures_test SOURCES probes/platform_figures_test.cpp LIBS probes_capabilities_of
                  DEPENDS mrv_sysinfo)
