# The engine state file an installed product keeps (text form, rewrite, component table), built
# into the target itself so that it carries the coverage.
zev_fuzz_target(state_file_fuzz state_file_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/engine_state_file.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/component_table.cpp
  ${zev_fuzz_engine_text_sources})
zev_fuzz_smoke(state_file state_file_fuzz state_file 20000 4096)
