# Runs of gpu_estimate on the shipped table; included by tests/CMakeLists.txt
# (tests can only be added once testing is enabled).
set(gpu_estimate_table --table "${PROJECT_SOURCE_DIR}/data/gpu_architectures.json")
add_test(NAME gpu_estimate_desktop_card
         COMMAND gpu_estimate ${gpu_estimate_table} "NVIDIA GeForce RTX 4070 SUPER" 12GiB)
set_tests_properties(gpu_estimate_desktop_card PROPERTIES PASS_REGULAR_EXPRESSION
  "^architecture: Ada Lovelace \\(RTX 4070\\)\nmemory type: GDDR6X\nmobile: no\nbandwidth: 5[0-9][0-9]\\.[0-9] GB/s\n$")
# 8192MiB is 8 GiB: the same figure as the laptop part's 8GiB.
add_test(NAME gpu_estimate_laptop_part
         COMMAND gpu_estimate ${gpu_estimate_table} "AMD Radeon RX 7600M XT" 8192MiB)
set_tests_properties(gpu_estimate_laptop_part PROPERTIES PASS_REGULAR_EXPRESSION
  "^architecture: Mobile RDNA 3 \\(RX 7600M XT\\)\nmemory type: GDDR6\nmobile: yes\nbandwidth: 2[89][0-9]\\.[0-9] GB/s\n$")
add_test(NAME gpu_estimate_integrated_adapter
         COMMAND gpu_estimate ${gpu_estimate_table} "Intel(R) UHD Graphics 770" 134217728)
set_tests_properties(gpu_estimate_integrated_adapter PROPERTIES PASS_REGULAR_EXPRESSION
  "^architecture: Integrated graphics\nmemory type: \\(none\\)\nmobile: no\nbandwidth: 0\\.0 GB/s\n$")
add_test(NAME gpu_estimate_refuses_a_bad_size COMMAND gpu_estimate ${gpu_estimate_table} "NVIDIA GeForce RTX 4070" 12GB)
set_tests_properties(gpu_estimate_refuses_a_bad_size PROPERTIES PASS_REGULAR_EXPRESSION
  "not a memory size: 12GB\nusage: gpu_estimate")
add_test(NAME gpu_estimate_without_table COMMAND gpu_estimate --table no_such_table.json "NVIDIA GeForce RTX 4070" 12GiB)
set_tests_properties(gpu_estimate_without_table PROPERTIES PASS_REGULAR_EXPRESSION
  "no_such_table.json did not load")
set_tests_properties(gpu_estimate_desktop_card gpu_estimate_laptop_part gpu_estimate_integrated_adapter
                     gpu_estimate_refuses_a_bad_size gpu_estimate_without_table PROPERTIES LABELS native TIMEOUT 30)
