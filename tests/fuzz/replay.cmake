# Every fuzz target also builds with the ordinary compiler against a small replay main, so
# ctest replays the whole committed corpus (findings included) on every run.
# It runs on Windows too (tests/windows), with that platform's helpers.
if(WIN32)
  set(TOVALIX_FUZZ_PLATFORM windows)
else()
  set(TOVALIX_FUZZ_PLATFORM posix)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)
foreach(corpus ${TOVALIX_FUZZ_TARGETS})
  set(replay fuzz_${corpus}_replay)
  add_executable(${replay} ${CMAKE_CURRENT_LIST_DIR}/replay_main.cpp)
  tovalix_fuzz_target(${replay} ${corpus})
  tovalix_set_warnings(${replay})
  target_include_directories(${replay}
                             PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support/${TOVALIX_FUZZ_PLATFORM})
  add_test(NAME ${replay} COMMAND ${replay} ${CMAKE_CURRENT_LIST_DIR}/corpus/${corpus})
endforeach()
