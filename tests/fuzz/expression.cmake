# Variable expansion and the expression language (with the calculator on the side), built into
# the target itself so that it carries the coverage.
zev_fuzz_target(expression_fuzz expression_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/variable_manager.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/variables.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/expression.cpp
  ${PROJECT_SOURCE_DIR}/setup/engine/mathematics.cpp
  ${PROJECT_SOURCE_DIR}/setup/platform/text_util.cpp)
set(expression_found ${CMAKE_CURRENT_BINARY_DIR}/expression-found)
add_test(NAME fuzz_expression_smoke
  COMMAND sh -c "rm -rf '${expression_found}' && mkdir -p '${expression_found}' && \
exec '$<TARGET_FILE:expression_fuzz>' -runs=20000 -seed=1 -max_len=512 \
'${expression_found}' '${CMAKE_CURRENT_SOURCE_DIR}/corpus/expression'")
set_tests_properties(fuzz_expression_smoke PROPERTIES LABELS fuzz TIMEOUT 600)
