# Every fuzz target also builds with the ordinary compiler against a small replay main, so
# ctest replays the whole committed corpus (findings included) on every run.
# It runs on Windows too (tests/windows), with that platform's helpers.
if(WIN32)
  set(TOVALIX_FUZZ_PLATFORM windows)
else()
  set(TOVALIX_FUZZ_PLATFORM posix)
endif()
file(GLOB TOVALIX_FUZZ_REPLAY_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/fuzz_*.cpp)
foreach(source ${TOVALIX_FUZZ_REPLAY_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  set(replay ${name}_replay)
  add_executable(${replay} ${source} ${CMAKE_CURRENT_LIST_DIR}/replay_main.cpp)
  tovalix_set_warnings(${replay})
  target_include_directories(${replay}
                             PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support/${TOVALIX_FUZZ_PLATFORM})
  target_link_libraries(${replay} PRIVATE tovalix_internal)
  string(REGEX REPLACE "^fuzz_" "" corpus ${name})
  add_test(NAME ${replay} COMMAND ${replay} ${CMAKE_CURRENT_LIST_DIR}/corpus/${corpus})
endforeach()
