# velqor_add_test(<name> SOURCES <files...> LIBS <targets...> [GUI] [PAINTS] [LABELS <extra...>])
# One QtTest executable per unit. Unit tests run on the offscreen platform; GUI tests need a
# display (the test command runs ctest under xvfb-run) and get the web engine's root flags.
# PAINTS: a unit test (or the program it runs) that starts a QGuiApplication on the offscreen
# platform, whose screen Qt never frees; the leak checker is told so.
find_package(Qt5 5.15 REQUIRED COMPONENTS Test)

function(velqor_add_test name)
    cmake_parse_arguments(ARG "GUI;PAINTS" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt5::Test velqor_options ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    # A home of its own, so that test-mode settings and web engine profiles of tests running at
    # the same time never meet; the media back end's plugin cache stays shared.
    set(home ${CMAKE_CURRENT_BINARY_DIR}/${name}.home)
    file(MAKE_DIRECTORY ${home})
    set(env "QT_LOGGING_RULES=*.debug=false"
            "HOME=${home}"
            "XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-cache")
    if(ARG_GUI)
        set(labels gui ${ARG_LABELS})
        list(APPEND env "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu")
    else()
        set(labels unit ${ARG_LABELS})
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
        # Qt's libraries are built without frame pointers: only the slow unwinder reaches the
        # plugin's frames that the suppression names. Quiet about it: tests read the programs'
        # error output.
        if(ARG_PAINTS AND VELQOR_SANITIZERS MATCHES "address" AND NOT WIN32)
            list(APPEND env "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/offscreen-leaks.supp:fast_unwind_on_malloc=0:print_suppressions=0")
        endif()
    endif()
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
