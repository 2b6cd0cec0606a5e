tollivane_test(tst_mainwindow LIBS app competition SOURCES station_fixture.cpp SERVERS)
tollivane_test(tst_seat LIBS app competition SOURCES station_fixture.cpp SERVERS)
tollivane_test(tst_pointin_flow LIBS app competition SOURCES station_fixture.cpp SERVERS)
tollivane_test(tst_gateway LIBS app competition SOURCES station_fixture.cpp SERVERS)
