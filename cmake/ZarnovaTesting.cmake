# zn_add_qtest(<name> SOURCES <files...> LIBS <targets...> [ENVIRONMENT <VAR=value...>] [TIMEOUT <s>])
# One QtTest executable registered with CTest, headless by default.
function(zn_add_qtest name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;${ARG_ENVIRONMENT}")
endfunction()

# zn_add_benchmark(<name> SOURCES <files...> LIBS <targets...>)
# Benchmarks are built with everything else but run by hand from build/bench/.
function(zn_add_benchmark name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()
