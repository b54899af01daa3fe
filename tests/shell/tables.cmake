tarn_add_test(test_game_tables SOURCES ${CMAKE_CURRENT_LIST_DIR}/GameTablesTest.cpp LIBS tarn_shell_core)
