# Database tests run on SQLite always and on the servers of scripts/servers.sh when its env
# lines are exported; in CI a missing server fails them. The tests that rebuild the competition
# tables on the servers hold a lock, so that other server tests do not run beside them.
tollivane_test(tst_dbaliases LIBS db_engine db_profiles competition)
tollivane_test(tst_dbengine LIBS db_internals db_worker_internals SERVERS)
tollivane_test(tst_dbtimeouts LIBS db_engine_internals)
tollivane_test(tst_dbcompetition LIBS competition SERVERS)
target_compile_definitions(tst_dbcompetition PRIVATE JUMPDB="$<TARGET_FILE:jumpdb>")
add_dependencies(tst_dbcompetition jumpdb)
tollivane_test(tst_markjournal LIBS journal)
tollivane_test(tst_statementworker LIBS db_worker_internals)
