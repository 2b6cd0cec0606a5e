tollivane_test(tst_cutebutton LIBS controls)
