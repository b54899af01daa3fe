tarn_add_test(test_client_settings SOURCES ${CMAKE_CURRENT_LIST_DIR}/ClientSettingsTest.cpp
              LIBS tarn_shell_core)
