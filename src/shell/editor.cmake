# Editor commands and script files: logic in the widget-free library, dialogs with the forms.
target_sources(orvane_shell_logic PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ScriptFile.h ${CMAKE_CURRENT_LIST_DIR}/ScriptFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EditorLogic.h ${CMAKE_CURRENT_LIST_DIR}/EditorLogic.cpp
)
target_sources(orvane_shell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/EditorCommands.h ${CMAKE_CURRENT_LIST_DIR}/EditorCommands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GotoLine.h ${CMAKE_CURRENT_LIST_DIR}/GotoLine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FindCmdDlg.h ${CMAKE_CURRENT_LIST_DIR}/FindCmdDlg.cpp
)

# The help page beside the program in the build tree, as an installed one would be found.
add_custom_target(orvane_help ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/data/Help
            ${CMAKE_BINARY_DIR}/Help
    COMMENT "Copying the help page")
