# Variable expansion and the expression language (with the calculator on the side), built into
# the target itself so that it carries the coverage.
zev_fuzz_target(expression_fuzz expression_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/variable_manager.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/variables.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/expression.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/mathematics.cpp
  ${PROJECT_SOURCE_DIR}/setup/platform/text_util.cpp)
zev_fuzz_smoke(expression expression_fuzz expression 20000 512)
