# The script reader and compile pass, built into the target itself so that they carry the
# coverage.
zev_fuzz_target(script_reader_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/script_reader_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/compile_script.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/compiler_variables.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/parameter_lists.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/script_lists.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/script_reader.cpp
  ${zev_fuzz_engine_text_sources})
zev_fuzz_smoke(script_reader script_reader_fuzz script 20000 8192)
