tollivane_test(tst_cutebutton LIBS controls)
# The bevel rules of the panel base, against both of its kinds.
tollivane_test(tst_bevelledwidget LIBS controls)
