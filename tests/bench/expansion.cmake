# Variable expansion against a plain scan-and-copy of the same text.
add_executable(expansion_bench expansion_bench.cpp)
target_link_libraries(expansion_bench PRIVATE zev_engine benchmark::benchmark
  benchmark::benchmark_main)
zev_warnings(expansion_bench)
