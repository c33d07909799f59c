# Logins and data files opened as aliases: the logic joins the widget-free shell library,
# the two dialogs make a small widgets library of their own that the main window links.
target_sources(orvane_shell_logic PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Logins.h ${CMAKE_CURRENT_LIST_DIR}/Logins.cpp)

add_library(orvane_logins_ui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/LoginDialog.h ${CMAKE_CURRENT_LIST_DIR}/LoginDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NewAliasDialog.h ${CMAKE_CURRENT_LIST_DIR}/NewAliasDialog.cpp)
target_include_directories(orvane_logins_ui PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(orvane_logins_ui PUBLIC orvane_shell_logic Qt6::Widgets)
if(TARGET orvane_shell)
    target_link_libraries(orvane_shell PUBLIC orvane_logins_ui)
endif()
