# Every dependency is a Debian package; a missing one stops the configure step with its name.
find_package(PkgConfig QUIET)

macro(tovalix_missing what debian_package)
  message(FATAL_ERROR "${what} not found: install the Debian package ${debian_package} "
                      "(scripts/setup.sh installs everything)")
endmacro()

if(NOT PkgConfig_FOUND)
  tovalix_missing("pkg-config" "pkg-config")
endif()

if(WIN32)
  # Windows builds use the system's own services (WinHTTP, CNG, XmlLite) and no third-party
  # library. Header-only packages come from Debian's own folders, staged one by one so that
  # the host's /usr/include never shadows mingw-w64's headers.
  set(TOVALIX_STAGED_HEADERS ${CMAKE_BINARY_DIR}/staged-headers)
  file(MAKE_DIRECTORY ${TOVALIX_STAGED_HEADERS})
  macro(tovalix_staged_header_library target folder debian_package)
    if(NOT EXISTS /usr/include/${folder})
      tovalix_missing("${folder}" "${debian_package}")
    endif()
    if(NOT EXISTS ${TOVALIX_STAGED_HEADERS}/${folder})
      file(CREATE_LINK /usr/include/${folder} ${TOVALIX_STAGED_HEADERS}/${folder} SYMBOLIC)
    endif()
    if(NOT TARGET ${target})
      add_library(${target} INTERFACE IMPORTED)
      target_include_directories(${target} SYSTEM INTERFACE ${TOVALIX_STAGED_HEADERS})
    endif()
  endmacro()
  tovalix_staged_header_library(nlohmann_json::nlohmann_json nlohmann nlohmann-json3-dev)
  if(TOVALIX_BUILD_TOOLS)
    tovalix_staged_header_library(CLI11::CLI11 CLI libcli11-dev)
  endif()
else()
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
endif()

find_package(Threads REQUIRED)

if(TOVALIX_BUILD_TOOLS AND NOT WIN32)
  find_package(CLI11 QUIET)
  if(NOT CLI11_FOUND)
    tovalix_missing("CLI11" "libcli11-dev")
  endif()
endif()

if(NOT WIN32 AND TOVALIX_BUILD_TESTS)
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    tovalix_missing("GoogleTest" "libgtest-dev")
  endif()
endif()

if(NOT WIN32 AND TOVALIX_BUILD_BENCH)
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    tovalix_missing("Google Benchmark" "libbenchmark-dev")
  endif()
endif()
