# The fuzz targets, each fuzz_<name>.cpp with its corpus in corpus/<name>/.
set(TOVALIX_FUZZ_TARGETS
    airtime_answers ingenico_obten_cvv2 ingenico_obten_tracks ingenico_tags_validos
    ingenico_verifica_respuesta optimum_obten_track optimum_tags_validos vx810_obten_track
    vx810_obten_tracks_banda vx810_tags_validos)
