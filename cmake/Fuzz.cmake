# libFuzzer targets: tests/fuzz/<stem>.cpp becomes the program fuzz_<stem> (a stem that already
# starts with "fuzz_" is kept as it is). Each file defines LLVMFuzzerTestOneInput. Seed inputs,
# if any, live in tests/fuzz/corpus/<program name>/.
file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fuzz/*.cpp)
foreach(source ${FUZZ_SOURCES})
  get_filename_component(stem ${source} NAME_WE)
  if(stem MATCHES "^fuzz_")
    set(target ${stem})
  else()
    set(target fuzz_${stem})
  endif()
  add_executable(${target} ${source})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${target} PRIVATE corvane_logic corvane_sim corvane_headless)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address)
endforeach()
