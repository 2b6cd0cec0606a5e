# The layers hold: each of these programs includes a header its layer may not see, and its
# build must stop with the compiler's reason. They are built only by these tests.
function(tollivane_layer_violation name lib reason)
    add_executable(${name} EXCLUDE_FROM_ALL layers/${name}.cpp)
    target_link_libraries(${name} PRIVATE ${lib} tollivane_options)
    add_test(NAME layers_${name}
        COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${name})
    set_tests_properties(layers_${name} PROPERTIES
        PASS_REGULAR_EXPRESSION "${reason}" LABELS layers TIMEOUT 120)
endfunction()

tollivane_layer_violation(window_includes_statements pointin
    "db/statements.h: No such file or directory")
tollivane_layer_violation(window_includes_statements_by_path pointin
    "db/statements.h is internal to the db layer")
tollivane_layer_violation(window_includes_engine pointin
    "db/dbengine.h: No such file or directory")
tollivane_layer_violation(main_window_includes_worker app
    "db/statementworker.h: No such file or directory")
tollivane_layer_violation(database_includes_window db
    "pointin/pointinputwindow.h: No such file or directory")
tollivane_layer_violation(worker_includes_competition db_worker_internals
    "db/statements.h: No such file or directory")
tollivane_layer_violation(engine_includes_worker db_engine_internals
    "db/statementworker.h: No such file or directory")
