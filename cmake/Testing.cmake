# add_game_test(NAME SOURCES a.cpp ... LIBS lib ... LABELS platform render ... [TIMEOUT seconds])
# One GoogleTest executable; every test case in it becomes a CTest test carrying the labels,
# so `ctest -L render` runs just those. Tests run headless in a scratch directory. A test is
# stopped after TIMEOUT seconds: 600 unless given, ten times what the slowest takes on a machine
# at a load of sixty. A test labelled e2e runs a whole program, which its test bounds by the
# processor time the program takes (platform/tests/support/program_run.h), since a loaded
# machine may stretch its wall time many times over; CTest's limit is then an hour, for a test
# that hangs outside any program, and such a test is started before the others (COST), as the
# longest ones are.
include(GoogleTest)
function(add_game_test NAME)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  set(cost 0)
  if("e2e" IN_LIST T_LABELS)
    set(cost 100)
  endif()
  if(NOT T_TIMEOUT)
    if("e2e" IN_LIST T_LABELS)
      set(T_TIMEOUT 3600)
    else()
      set(T_TIMEOUT 600)
    endif()
  endif()
  add_executable(${NAME} ${T_SOURCES})
  target_link_libraries(${NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${NAME} PRIVATE
    SOURCE_ROOT="${PROJECT_SOURCE_DIR}" BUILD_ROOT="${PROJECT_BINARY_DIR}")
  # The shared support of the tests is included from the top of the tree.
  target_include_directories(${NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  gtest_discover_tests(${NAME}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    TEST_LIST ${NAME}_TESTS
    PROPERTIES TIMEOUT ${T_TIMEOUT})
  # gtest_discover_tests splits list-valued properties, so labels and environment are set by a
  # script of our own that CTest reads after the discovered tests.
  set(props "${CMAKE_CURRENT_BINARY_DIR}/${NAME}_properties.cmake")
  file(WRITE "${props}"
    "if(${NAME}_TESTS)\n"
    "  set_tests_properties(\${${NAME}_TESTS} PROPERTIES LABELS \"${T_LABELS}\" COST ${cost}\n"
    "    ENVIRONMENT \"SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${props}")
endfunction()

# add_fuzz_target(NAME SOURCES a.cpp ... LIBS ... CORPUS dir)
# A libFuzzer entry point (LLVMFuzzerTestOneInput). With clang and ENABLE_FUZZERS it links
# against libFuzzer; otherwise it links a small driver that replays every file of the corpus,
# which is how the tests (and CI, under the sanitizers) run it.
function(add_fuzz_target NAME)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS;LABELS" ${ARGN})
  if(ENABLE_FUZZERS)
    add_executable(${NAME} ${F_SOURCES})
    target_compile_options(${NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${NAME} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${NAME} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/fuzz_replay.cpp)
  endif()
  target_link_libraries(${NAME} PRIVATE ${F_LIBS})
  add_test(NAME ${NAME}.replay COMMAND ${NAME} ${F_CORPUS})
  set_tests_properties(${NAME}.replay PROPERTIES LABELS "fuzz;${F_LABELS}"
    ENVIRONMENT "SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy" TIMEOUT 300)
endfunction()

# Adds every subfolder that has a CMakeLists.txt, in name order: each area of tests or
# benchmarks keeps a folder of its own.
function(add_subfolders)
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT entries)
  foreach(e ${entries})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${e} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${e}/CMakeLists.txt)
      add_subdirectory(${e})
    endif()
  endforeach()
endfunction()

# add_fenwolt_program_test(NAME SOURCES a.cpp ... LIBS ... LABELS ... [TIMEOUT seconds])
# A GoogleTest executable that runs the built program (FENWOLT_BINARY names it) over the data
# set; both are built before it.
function(add_fenwolt_program_test NAME)
  cmake_parse_arguments(P "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_game_test(${NAME} SOURCES ${P_SOURCES} LIBS ${P_LIBS} LABELS ${P_LABELS} TIMEOUT ${P_TIMEOUT})
  target_compile_definitions(${NAME} PRIVATE FENWOLT_BINARY="$<TARGET_FILE:fenwolt>")
  target_include_directories(${NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  add_dependencies(${NAME} fenwolt)
  if(TARGET fenwolt-data)
    add_dependencies(${NAME} fenwolt-data)
  endif()
endfunction()

# add_area_tests(NAME LABELS ...)
# One GoogleTest executable from every *_tests.cpp of the folder, and one fuzz target per
# fuzz_<name>.cpp replaying corpus_<name>/. Several people can add test files to an area
# without touching its CMakeLists.txt.
function(add_area_tests NAME)
  cmake_parse_arguments(A "" "" "LABELS;LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_tests.cpp)
  file(GLOB support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_support.cpp)
  if(sources)
    add_game_test(${NAME} SOURCES ${sources} ${support}
      LIBS fenwolt_game platform_test_support PNG::PNG ${A_LIBS}
      LABELS ${A_LABELS})
    if(TARGET fenwolt-data)
      add_dependencies(${NAME} fenwolt-data)
    endif()
  endif()
  file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_*.cpp)
  foreach(f ${fuzzers})
    get_filename_component(base ${f} NAME_WE)
    string(REPLACE "fuzz_" "" stem ${base})
    # The support files are the tests' fixtures (GoogleTest); a fuzz target stands alone.
    add_fuzz_target(fuzz_fenwolt_${stem} SOURCES ${f} LIBS fenwolt_game ${A_LIBS}
      CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus_${stem} LABELS ${A_LABELS})
  endforeach()
endfunction()
