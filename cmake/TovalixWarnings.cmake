# Warnings as errors on our own targets only; third-party headers come in as SYSTEM.
function(tovalix_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Wunused -Wpedantic)
  # GCC 12 reports -Wrestrict on ordinary std::string concatenation in optimised builds (GCC
  # bug 105329), hundreds of lines that hide real warnings: it is off there, and only there.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-Wno-restrict>)
  endif()
endfunction()
