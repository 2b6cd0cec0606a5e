# Database tests run on SQLite always and on the servers of scripts/servers.sh when its env
# lines are exported; in CI a missing server fails them. The tests that rebuild the competition
# tables on the servers hold a lock, so that other server tests do not run beside them.
tollivane_test(tst_dbaliases LIBS db)
tollivane_test(tst_dbengine LIBS db)
tollivane_test(tst_dbtimeouts LIBS db)
tollivane_test(tst_dbcompetition LIBS competition)
target_compile_definitions(tst_dbcompetition PRIVATE JUMPDB="$<TARGET_FILE:jumpdb>")
add_dependencies(tst_dbcompetition jumpdb)
set_tests_properties(tst_dbengine tst_dbcompetition PROPERTIES RESOURCE_LOCK tollivane_servers)
if(TOLLIVANE_SANITIZE)
    # LeakSanitizer's scan at exit trips over the thread-local storage of the Firebird client's
    # plugins once ODBC drivers came and went in the same process ("Tracer caught signal 11");
    # address and undefined-behaviour checks stay on.
    set_property(TEST tst_dbengine tst_dbcompetition APPEND PROPERTY ENVIRONMENT
        LSAN_OPTIONS=detect_leaks=0)
endif()
