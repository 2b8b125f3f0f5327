# The engine state file an installed product keeps (text form, rewrite, component table), built
# into the target itself so that it carries the coverage.
zev_fuzz_target(state_file_fuzz state_file_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/engine_state_file.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/component_table.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/variable_manager.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/variables.cpp
  ${PROJECT_SOURCE_DIR}/setup/startup/language_file.cpp
  ${PROJECT_SOURCE_DIR}/setup/startup/engine_messages.cpp
  ${PROJECT_SOURCE_DIR}/setup/platform/text_util.cpp
  ${PROJECT_SOURCE_DIR}/setup/platform/file_text.cpp)
zev_fuzz_smoke(state_file state_file_fuzz state_file 20000 4096)
