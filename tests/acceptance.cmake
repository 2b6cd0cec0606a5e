# Acceptance tests of the whole terminal: real tollivane processes on Xvfb, driven with xdotool
# by tests/acceptance/accept.py (label "acceptance"). Outside CI a missing server or X tool skips
# a test; with CI=true it fails. The long run: tests/acceptance/run.sh --long
set(TOLLIVANE_ACCEPTANCE_DIR ${CMAKE_CURRENT_LIST_DIR}/acceptance)

add_executable(accept_selection ${TOLLIVANE_ACCEPTANCE_DIR}/selection.cpp)
target_link_libraries(accept_selection PRIVATE Qt6::Gui tollivane_options)

find_program(TOLLIVANE_PYTHON3 python3)
if(TOLLIVANE_PYTHON3)
    set(TOLLIVANE_ACCEPTANCE_RUN ${TOLLIVANE_PYTHON3})
else()
    # Registered all the same: each test then skips, or fails in CI.
    message(WARNING "python3 not found: the acceptance tests will skip")
    set(TOLLIVANE_ACCEPTANCE_RUN sh ${TOLLIVANE_ACCEPTANCE_DIR}/no-python.sh)
endif()

function(tollivane_acceptance scenario route)
    set(name acceptance_${scenario}_${route})
    add_test(NAME ${name}
        COMMAND ${TOLLIVANE_ACCEPTANCE_RUN} ${TOLLIVANE_ACCEPTANCE_DIR}/accept.py
            --scenario ${scenario} --route ${route}
            --tollivane $<TARGET_FILE:tollivane> --jumpdb $<TARGET_FILE:jumpdb>
            --selection $<TARGET_FILE:accept_selection>
            --fontconfig ${TOLLIVANE_ACCEPTANCE_DIR}/../../resources/fontconfig/fonts.conf
            --workdir ${CMAKE_BINARY_DIR}/acceptance/${scenario}_${route})
    # One at a time: five stations and their X servers fill the machine, and the server routes
    # share one competition database.
    set_tests_properties(${name} PROPERTIES
        LABELS acceptance SKIP_RETURN_CODE 77 TIMEOUT 600
        RESOURCE_LOCK tollivane_acceptance)
    if(TOLLIVANE_SANITIZE)
        # As in the database tests: the Firebird client's plugins trip LeakSanitizer at exit.
        set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT LSAN_OPTIONS=detect_leaks=0)
    endif()
endfunction()

foreach(route sqlite firebird odbc)
    tollivane_acceptance(flow ${route})
    tollivane_acceptance(hostile ${route})
endforeach()
# Server outages, seen through a relay the test stops and starts (label faults).
foreach(route firebird odbc)
    tollivane_acceptance(faults ${route})
    set_property(TEST acceptance_faults_${route} APPEND PROPERTY LABELS faults)
endforeach()
tollivane_acceptance(settings sqlite)
