# Compiled-in style sheets and accent colours (QtWidgets).
add_library(tarn_styles STATIC ${CMAKE_CURRENT_SOURCE_DIR}/Styles.cpp
                               ${CMAKE_SOURCE_DIR}/src/resources/styles.qrc)
target_include_directories(tarn_styles PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(tarn_styles PUBLIC Qt6::Widgets)
