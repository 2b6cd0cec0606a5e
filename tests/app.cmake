# A whole station: the windows, the gateway, the journal and the operator's side.
set(TOLLIVANE_STATION_LIBS app pointin controls toolkit db journal competition)
tollivane_test(tst_mainwindow LIBS ${TOLLIVANE_STATION_LIBS} SOURCES station_fixture.cpp SERVERS)
tollivane_test(tst_seat LIBS ${TOLLIVANE_STATION_LIBS} SOURCES station_fixture.cpp SERVERS)
tollivane_test(tst_pointin_flow LIBS ${TOLLIVANE_STATION_LIBS} db_internals
    SOURCES station_fixture.cpp SERVERS)
tollivane_test(tst_gateway LIBS ${TOLLIVANE_STATION_LIBS} SOURCES station_fixture.cpp SERVERS)
