# Skerrow's screens: the file formats they keep (digests, saves, hiscores) in a library of their
# own that needs no display, then the buttons and the screens over the gameplay.
include_guard(GLOBAL)

set(SKERROW_SRC ${CMAKE_CURRENT_LIST_DIR}/..)

add_library(skerrow_screens_core STATIC
  ${SKERROW_SRC}/Digest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SaveFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HiscoreTable.cpp)
target_include_directories(skerrow_screens_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(skerrow_screens_core PUBLIC skerrow_core)

set(SKERROW_SCREEN_SOURCES
  ${SKERROW_SRC}/Button.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScreenCommon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuScreen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OptionsScreen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HelpScreen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NodeScreen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BossScreen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShopScreen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HiscoreScreen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SaveScreen.cpp)
set(SKERROW_SCREENS_READY TRUE)
foreach(f ${SKERROW_SCREEN_SOURCES})
  if(NOT EXISTS ${f})
    set(SKERROW_SCREENS_READY FALSE)
  endif()
endforeach()

if(SKERROW_SCREENS_READY AND TARGET skerrow_gameplay)
  add_library(skerrow_screens STATIC ${SKERROW_SCREEN_SOURCES})
  target_link_libraries(skerrow_screens PUBLIC skerrow_screens_core skerrow_gameplay)
  # The game opens on the menu.
  set(SKERROW_SCREENS_IN_GAME TRUE)
endif()
