# The windows of the shell, start-up and the tarn executable.
add_library(tarn_app STATIC
  TarnApplication.cpp
  CaptureCheck.cpp
  account.cpp
  options.cpp
  AutoUpdate.cpp
  about.cpp
  StartUp.cpp
)
target_include_directories(tarn_app PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(tarn_app PUBLIC
  tarn_shell_core tarn_styles tarn_community tarn_lobby tarn_bridge
  tarn_emulator tarn_emulator_ui tarn_gui tarn_platform tarn_common Qt6::Widgets)

add_executable(tarn main.cpp)
target_link_libraries(tarn PRIVATE tarn_app)
