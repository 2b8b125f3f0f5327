# Loading, compiling and parameter look-ups of a large script against reading and splitting
# the same file into lines.
add_executable(script_bench script_bench.cpp)
target_link_libraries(script_bench PRIVATE zev_engine benchmark::benchmark
  benchmark::benchmark_main)
zev_warnings(script_bench)
target_include_directories(script_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/native)
