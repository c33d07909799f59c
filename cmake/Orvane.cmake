# orvane_add_test(NAME LABELS l1 [l2...] SOURCES s1 [s2...] LIBS lib1 [lib2...])
# One Qt Test executable per area; every test carries its subsystem's label.
function(orvane_add_test name)
    cmake_parse_arguments(T "" "" "LABELS;SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    if(TARGET orvane-probe)
        add_dependencies(${name} orvane-probe)
    endif()
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/scripts/isolated $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}"
        ENVIRONMENT "ORVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR};ORVANE_FIXTURES=${CMAKE_SOURCE_DIR}/../shared/fixtures")
    # The server tests share one database and the names of its tables: one at a time.
    if("pg" IN_LIST T_LABELS)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK orvane_pg_database)
    endif()
endfunction()
