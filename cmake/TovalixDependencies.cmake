# Every dependency is a Debian package; a missing one stops the configure step with its name.
find_package(PkgConfig QUIET)

macro(tovalix_missing what debian_package)
  message(FATAL_ERROR "${what} not found: install the Debian package ${debian_package} "
                      "(scripts/setup.sh installs everything)")
endmacro()

if(NOT PkgConfig_FOUND)
  tovalix_missing("pkg-config" "pkg-config")
endif()

pkg_check_modules(CURL QUIET IMPORTED_TARGET libcurl)
if(NOT CURL_FOUND)
  tovalix_missing("libcurl" "libcurl4-openssl-dev")
endif()

find_package(OpenSSL QUIET)
if(NOT OpenSSL_FOUND)
  tovalix_missing("OpenSSL" "libssl-dev")
endif()

find_package(pugixml QUIET)
if(NOT pugixml_FOUND)
  tovalix_missing("pugixml" "libpugixml-dev")
endif()

find_package(nlohmann_json QUIET)
if(NOT nlohmann_json_FOUND)
  tovalix_missing("nlohmann_json" "nlohmann-json3-dev")
endif()

find_package(Threads REQUIRED)

if(TOVALIX_BUILD_TOOLS)
  find_package(CLI11 QUIET)
  if(NOT CLI11_FOUND)
    tovalix_missing("CLI11" "libcli11-dev")
  endif()
endif()

if(TOVALIX_BUILD_TESTS OR TOVALIX_BUILD_TOOLS OR TOVALIX_BUILD_BENCH)
  pkg_check_modules(HTTPLIB QUIET IMPORTED_TARGET cpp-httplib)
  if(NOT HTTPLIB_FOUND)
    tovalix_missing("cpp-httplib" "libcpp-httplib-dev")
  endif()
endif()

if(TOVALIX_BUILD_TESTS)
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    tovalix_missing("GoogleTest" "libgtest-dev")
  endif()
endif()

if(TOVALIX_BUILD_BENCH)
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    tovalix_missing("Google Benchmark" "libbenchmark-dev")
  endif()
endif()
