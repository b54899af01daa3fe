tarn_add_test(test_system_critical SOURCES ${CMAKE_CURRENT_LIST_DIR}/SystemCriticalTest.cpp LIBS tarn_shell_core)
