tarn_add_test(test_lobby_wiring
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LobbyWiringTest.cpp
  LIBS tarn_community Qt6::Test
  GUI)
target_include_directories(test_lobby_wiring PRIVATE ${CMAKE_SOURCE_DIR}/tests/lobby)
