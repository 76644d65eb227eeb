# The fuzz targets, each with its corpus in corpus/<name>/. fuzz_<name>.cpp holds a target of
# its own; the others are the function <name> of fuzz_<device>.cpp, <device> being the first
# word of the name. tovalix_fuzz_target(<executable> <name>) builds one.
set(TOVALIX_FUZZ_TARGETS
    airtime_answers ingenico_obten_cvv2 ingenico_obten_tracks ingenico_tags_validos
    ingenico_verifica_respuesta optimum_obten_track optimum_tags_validos vx810_obten_track
    vx810_obten_tracks_banda vx810_tags_validos)
set(TOVALIX_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
function(tovalix_fuzz_target executable name)
  if(EXISTS ${TOVALIX_FUZZ_DIR}/fuzz_${name}.cpp)
    target_sources(${executable} PRIVATE ${TOVALIX_FUZZ_DIR}/fuzz_${name}.cpp)
  else()
    string(REGEX REPLACE "_.*" "" device ${name})
    target_sources(${executable} PRIVATE ${TOVALIX_FUZZ_DIR}/fuzz_${device}.cpp)
    target_compile_definitions(${executable} PRIVATE TOVALIX_FUZZ_ENTRY=${name})
  endif()
  target_link_libraries(${executable} PRIVATE tovalix_internal)
endfunction()
