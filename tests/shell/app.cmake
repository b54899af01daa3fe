tarn_add_test(test_app_shell
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AppShellTest.cpp ${CMAKE_CURRENT_LIST_DIR}/LoginGateTest.cpp
  LIBS tarn_app
  GUI)
tarn_add_test(test_app_process
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AppProcessTest.cpp
  LIBS Qt6::Core)
target_compile_definitions(test_app_process PRIVATE TARN_CLIENT_BINARY="$<TARGET_FILE:tarn>")
add_dependencies(test_app_process tarn)
