# A whole station: the windows, the gateway, the journal and the operator's side.
set(TOLLIVANE_STATION_LIBS app pointin controls toolkit db journal competition)
if(NOT WIN32)
    # Both hang a server behind the POSIX relay of tests/support: not in the Windows build.
    tollivane_test(tst_mainwindow LIBS ${TOLLIVANE_STATION_LIBS} SOURCES station_fixture.cpp SERVERS)
    tollivane_test(tst_gateway LIBS ${TOLLIVANE_STATION_LIBS} SOURCES station_fixture.cpp SERVERS)
endif()
tollivane_test(tst_seat LIBS ${TOLLIVANE_STATION_LIBS} SOURCES station_fixture.cpp SERVERS)
tollivane_test(tst_pointin_flow LIBS ${TOLLIVANE_STATION_LIBS} db_internals
    SOURCES station_fixture.cpp SERVERS)
if(WIN32)
    # Firebird's client comes with Firebird's own installer on Windows: a station may lack it.
    tollivane_test(tst_firebirdclient LIBS ${TOLLIVANE_STATION_LIBS} SOURCES station_fixture.cpp)
endif()
# Starts the real program, offscreen, and kills it.
tollivane_test(tst_onecopy LIBS app)
target_compile_definitions(tst_onecopy PRIVATE TOLLIVANE_PROGRAM="$<TARGET_FILE:tollivane>")
add_dependencies(tst_onecopy tollivane)
