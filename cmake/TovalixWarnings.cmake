# Warnings as errors on our own targets only; third-party headers come in as SYSTEM.
function(tovalix_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Wunused -Wpedantic)
endfunction()
