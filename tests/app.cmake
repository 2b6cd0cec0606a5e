# A whole station: the windows, the gateway, the journal and the operator's side.
set(TOLLIVANE_STATION_LIBS app pointin controls toolkit db journal competition)
if(NOT WIN32)
    # Both hang a server behind the relay of tests/support, on Linux only (tst_gateway also
    # starts Linux's isql programs as the other program that holds a row).
    tollivane_test(tst_mainwindow LIBS ${TOLLIVANE_STATION_LIBS} SOURCES station_fixture.cpp SERVERS)
    tollivane_test(tst_gateway LIBS ${TOLLIVANE_STATION_LIBS} SOURCES station_fixture.cpp SERVERS)
    # Signals to the real programs; Windows asks a windowed program by its messages.
    tollivane_test(tst_systemstop LIBS db_engine SERVERS)
    target_compile_definitions(tst_systemstop PRIVATE TOLLIVANE_PROGRAM="$<TARGET_FILE:tollivane>"
        JUMPDB="$<TARGET_FILE:jumpdb>")
    add_dependencies(tst_systemstop tollivane jumpdb)
endif()
tollivane_test(tst_seat LIBS ${TOLLIVANE_STATION_LIBS} SOURCES station_fixture.cpp SERVERS)
tollivane_test(tst_pointin_flow LIBS ${TOLLIVANE_STATION_LIBS} db_internals
    SOURCES station_fixture.cpp SERVERS)
if(WIN32)
    # Where a Windows station finds Firebird's client, and what the judge is told without one:
    # in a folder of its own, away from the copy beside the other tests. The probe is what it
    # copies into the places of a PC.
    tollivane_test(tst_firebirdclient LIBS ${TOLLIVANE_STATION_LIBS} SOURCES station_fixture.cpp)
    add_executable(fbclient_probe fbclient_probe.cpp)
    target_link_libraries(fbclient_probe PRIVATE db_engine tollivane_options)
    set_target_properties(tst_firebirdclient fbclient_probe PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/without-client)
    add_dependencies(tst_firebirdclient fbclient_probe)
endif()
# Starts the real program, offscreen, and kills it.
tollivane_test(tst_onecopy LIBS app)
target_compile_definitions(tst_onecopy PRIVATE TOLLIVANE_PROGRAM="$<TARGET_FILE:tollivane>")
add_dependencies(tst_onecopy tollivane)
tollivane_test(tst_stationsession LIBS ${TOLLIVANE_STATION_LIBS})
# Both windows on laptop screens at Windows' display scales (tools/screens.h).
tollivane_test(tst_screens LIBS ${TOLLIVANE_STATION_LIBS} screens)
