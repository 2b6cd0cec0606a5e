tollivane_test(tst_inifile LIBS toolkit)
tollivane_test(tst_dialogkeys LIBS toolkit)
tollivane_test(tst_messages LIBS toolkit)
