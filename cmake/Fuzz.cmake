# Fuzz targets of every parser of outside input (Tests/Fuzz/<name>_fuzz.cpp).
#
# Every build gets replay_<name>: the target's entry point with a small
# driver (Tests/Fuzz/ReplayMain.cpp) that runs it once over each file of the
# kept corpus (Tests/Fuzz/corpus/<name>) and of the regression inputs
# (Tests/Fuzz/regressions/<name>, every finding kept once it is mended). ctest
# runs each as the test fuzz_replay_<name> (label "unit"), so make check
# replays them in the normal build and again under ASan+UBSan.
#
# A build configured with ORVEX_FUZZ=ON (clang, see "make fuzz") also gets
# fuzz_<name>, the libFuzzer programs; the whole tree is then compiled with
# -fsanitize=fuzzer-no-link,address,undefined through CMAKE_CXX_FLAGS.

option(ORVEX_FUZZ "Build the libFuzzer programs (clang only)" OFF)

set(ORVEX_FUZZ_DIR ${CMAKE_SOURCE_DIR}/Tests/Fuzz)
set(ORVEX_GL_DIR ${CMAKE_SOURCE_DIR}/Source/Platform/GraphicsGL)

# name | library | extra sources (GraphicsGL files that need no GL)
set(ORVEX_FUZZ_TARGETS
  "service_reply|orvex_camera|"
  "scanlink|orvex_camera|"
  "video_framing|orvex_av|"
  "settings_ini|orvex_base|"
  "update_ini|orvex_camera|"
  "session_data|orvex_session|"
  "media_name|orvex_session|"
  "obj|orvex_base|ObjLoader.cpp,ModelPart.cpp"
  "embedded_image|PkgConfig::LZ4|EmbeddedImage.cpp"
  "mdns|orvex_camera|")

if(ORVEX_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "ORVEX_FUZZ needs clang (libFuzzer): configure with CMAKE_CXX_COMPILER=clang++")
endif()

set(ORVEX_FUZZ_NAMES "")
foreach(entry ${ORVEX_FUZZ_TARGETS})
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 libs)
  list(LENGTH entry n)
  set(extra "")
  if(n GREATER 2)
    list(GET entry 2 files)
    string(REPLACE "," ";" files "${files}")
    foreach(f ${files})
      list(APPEND extra ${ORVEX_GL_DIR}/${f})
    endforeach()
  endif()
  list(APPEND ORVEX_FUZZ_NAMES ${name})

  add_executable(replay_${name} ${ORVEX_FUZZ_DIR}/${name}_fuzz.cpp ${ORVEX_FUZZ_DIR}/ReplayMain.cpp ${extra})
  target_include_directories(replay_${name} PRIVATE ${SRC} ${CMAKE_SOURCE_DIR}/Tests)
  target_link_libraries(replay_${name} PRIVATE ${libs})
  add_test(NAME fuzz_replay_${name}
    COMMAND replay_${name} ${ORVEX_FUZZ_DIR}/corpus/${name} ${ORVEX_FUZZ_DIR}/regressions/${name})
  set_tests_properties(fuzz_replay_${name} PROPERTIES LABELS unit TIMEOUT 120)

  if(ORVEX_FUZZ)
    add_executable(fuzz_${name} ${ORVEX_FUZZ_DIR}/${name}_fuzz.cpp ${extra})
    target_include_directories(fuzz_${name} PRIVATE ${SRC} ${CMAKE_SOURCE_DIR}/Tests)
    target_link_libraries(fuzz_${name} PRIVATE ${libs})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  endif()
endforeach()

if(ORVEX_FUZZ)
  list(TRANSFORM ORVEX_FUZZ_NAMES PREPEND fuzz_ OUTPUT_VARIABLE _fuzz_programs)
  add_custom_target(orvex_fuzzers DEPENDS ${_fuzz_programs})
endif()
