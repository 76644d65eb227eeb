# The fault soak: many sales per PIN pad model with seeded random faults. ctest runs a short
# one (label "soak"); `soak_sales --faulty 1000` runs the long one: every model goes on until
# 1,000 of its sales carried a fault.
add_executable(soak_sales ${CMAKE_CURRENT_LIST_DIR}/soak_sales.cpp)
tovalix_set_warnings(soak_sales)
target_link_libraries(soak_sales PRIVATE tovalix_test_support)
add_test(NAME soak_sales COMMAND soak_sales --sales 20)
set_tests_properties(soak_sales PROPERTIES LABELS soak TIMEOUT 300
                     ENVIRONMENT "TOVALIX_BUILD_DIR=${CMAKE_BINARY_DIR}")
