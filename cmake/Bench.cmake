# Benchmarks: tests/bench/<stem>.cpp becomes the program bench_<stem> (a stem that already starts
# with "bench_" or ends with "_bench" is kept as it is). A file may define its own main
# (BENCHMARK_MAIN()); otherwise the one of benchmark_main is used.
find_package(benchmark REQUIRED)
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/bench/*.cpp)
foreach(source ${BENCH_SOURCES})
  get_filename_component(stem ${source} NAME_WE)
  if(stem MATCHES "^bench_|_bench$")
    set(target ${stem})
  else()
    set(target bench_${stem})
  endif()
  add_executable(${target} ${source})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${target}
    PRIVATE corvane_logic corvane_sim corvane_headless benchmark::benchmark benchmark::benchmark_main)
endforeach()
