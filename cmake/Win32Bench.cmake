# The Win32 benchmark of the address-list fill: tests/win32bench/*.cpp, one console program each
# (corvane_win32_bench from list_fill_bench.cpp), run under Wine by scripts/bench-win32. Built in
# the win64-test configuration; not a test, so ctest does not run it.
file(GLOB WIN32_BENCH_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win32bench/*.cpp)
foreach(source ${WIN32_BENCH_SOURCES})
  get_filename_component(stem ${source} NAME_WE)
  if(stem STREQUAL "list_fill_bench")
    set(target corvane_win32_bench)
  else()
    set(target corvane_win32_${stem})
  endif()
  add_executable(${target} ${source})
  target_link_libraries(${target} PRIVATE corvane_logic corvane_sim corvane_win32)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
endforeach()
