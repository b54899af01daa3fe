tarn_add_test(test_styles SOURCES ${CMAKE_CURRENT_LIST_DIR}/StylesTest.cpp LIBS tarn_styles GUI)
