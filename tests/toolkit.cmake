tollivane_test(tst_inifile LIBS toolkit)
tollivane_test(tst_dialogkeys LIBS toolkit)
tollivane_test(tst_messages LIBS toolkit)
if(WIN32)
    # With Windows' own fonts (-platform windows): the offscreen platform of the other tests
    # knows none there.
    tollivane_test(tst_fonts LIBS toolkit ARGS -platform windows)
else()
    tollivane_test(tst_fonts LIBS toolkit)
endif()
