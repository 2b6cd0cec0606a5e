tollivane_test(tst_cutebtn LIBS controls)
