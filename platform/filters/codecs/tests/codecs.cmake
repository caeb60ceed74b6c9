set(_codec_dir ${CMAKE_CURRENT_LIST_DIR}/..)
project_add_test(NAME platform_codecs_graph_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_graph_test.cpp ${CMAKE_CURRENT_LIST_DIR}/codec_test_support.cpp
          ${CMAKE_CURRENT_LIST_DIR}/pattern_source.cpp ${_codec_dir}/frame_code.cpp ${_codec_dir}/video_types.cpp
          ${_codec_dir}/av_picture.cpp ${_codec_dir}/video_codec_core.cpp
  LIBS platform_media PkgConfig::LIBAV
  LABELS unit thread
  TIMEOUT 300)
add_dependencies(platform_codecs_graph_test platform_codecs platform_filters)
# The decoders' sample entry; the codec sources are compiled into the fuzzer
# so that their coverage guides it.
project_add_fuzzer(NAME video_decoder_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/fuzz/video_decoder_fuzz.cpp ${_codec_dir}/av_picture.cpp
          ${_codec_dir}/video_codec_core.cpp ${_codec_dir}/frame_code.cpp
  LIBS platform_com PkgConfig::LIBAV)
project_add_test(NAME platform_codecs_core_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_core_test.cpp ${_codec_dir}/frame_code.cpp
          ${_codec_dir}/av_picture.cpp ${_codec_dir}/video_codec_core.cpp
  LIBS platform_com PkgConfig::LIBAV
  LABELS unit)
