# Included from extract/CMakeLists.txt when the desktop program is built.
add_library(vorpex_extract_gui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/FolderPromptDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExtractDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/OptionsDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/FolderDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UiThreadSink.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExtractJob.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExtractCommand.cpp)
set_target_properties(vorpex_extract_gui PROPERTIES AUTOMOC ON)
target_link_libraries(vorpex_extract_gui PUBLIC vorpex_extract Qt6::Widgets)
