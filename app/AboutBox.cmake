# The About box and its web link, built into the desktop program; included by app/CMakeLists.txt.
add_library(vorpex_about STATIC
    ${CMAKE_CURRENT_LIST_DIR}/AboutDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LinkStatic.cpp)
set_target_properties(vorpex_about PROPERTIES AUTOMOC ON)
target_link_libraries(vorpex_about PUBLIC Qt6::Widgets vorpex_platform PRIVATE vorpex_version)

# The application's About command shows the box.
if(TARGET vorpex_app)
    target_link_libraries(vorpex_app PUBLIC vorpex_about)
endif()
