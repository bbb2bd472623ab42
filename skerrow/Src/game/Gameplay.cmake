# The gameplay of Skerrow: play state, simulation, items, enemies, levels, shared resources,
# TrueType text and the game screen. Included by skerrow/CMakeLists.txt.
if(TARGET skerrow_engine)
  add_library(skerrow_gameplay STATIC
    ${CMAKE_CURRENT_LIST_DIR}/../TrueTypeFont.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GameState.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Simulation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Items.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Enemies.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Levels.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Resources.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DataSetCheck.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GameScreen.cpp)
  target_link_libraries(skerrow_gameplay PUBLIC skerrow_engine Freetype::Freetype)
  if(TARGET skerrow_game)
    target_link_libraries(skerrow_gameplay PUBLIC skerrow_game)
  endif()
  if(TARGET skerrow_sound)
    target_link_libraries(skerrow_gameplay PUBLIC skerrow_sound)
    target_compile_definitions(skerrow_gameplay PUBLIC SKERROW_HAVE_SOUND=1)
  endif()
endif()
