# Running long scripts of "Set Variable" and "Mathematics" commands against splitting the same
# script text into lines.
add_executable(runner_bench runner_bench.cpp)
target_link_libraries(runner_bench PRIVATE zev_engine zev_sim benchmark::benchmark
  benchmark::benchmark_main)
target_include_directories(runner_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/native
  ${PROJECT_SOURCE_DIR}/tests/native/engine)
zev_warnings(runner_bench)
