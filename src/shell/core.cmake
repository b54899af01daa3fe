# Settings store, game and map tables, keep-awake controller: QtCore only.
add_library(tarn_shell_core STATIC
  GameTables.cpp
  ClientSettings.cpp
  SystemCriticalU.cpp
)
target_include_directories(tarn_shell_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(tarn_shell_core PUBLIC tarn_common tarn_platform Qt6::Core)
