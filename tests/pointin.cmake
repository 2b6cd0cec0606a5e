tollivane_test(tst_pointin_layout LIBS pointin)
tollivane_test(tst_pointin_entry LIBS pointin)
tollivane_test(tst_entrymodel LIBS pointin)
tollivane_test(tst_judgesession LIBS pointin journal)
