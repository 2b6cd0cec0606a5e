# Each library is a layer, and its includes name it: "db/competitiongateway.h". A layer's public
# headers are reached through a folder of their own in the build tree, so that a target sees
# the public headers of the layers it links and nothing else. The layer's own sources also see
# its internal headers, which guard themselves against a path written around the folders
# ("../db/statements.h"): only a target that defines the layer's internals macro may include
# them.
function(tollivane_layer target layer)
    # INTERNALS: a target for the tests of the layer's internals, also where every header of
    # the layer is public (and guards itself).
    cmake_parse_arguments(L "INTERNALS" "" "PUBLIC_HEADERS;INTERNAL_HEADERS" ${ARGN})
    set(public ${CMAKE_BINARY_DIR}/layers/public/${target})
    set(private ${CMAKE_BINARY_DIR}/layers/private/${target})
    # Made anew each time: a header that moved to another target is not left behind here.
    file(REMOVE_RECURSE ${public} ${private})
    file(MAKE_DIRECTORY ${public}/${layer} ${private}/${layer})
    foreach(header ${L_PUBLIC_HEADERS})
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${public}/${layer}/${header} SYMBOLIC)
    endforeach()
    foreach(header ${L_PUBLIC_HEADERS} ${L_INTERNAL_HEADERS})
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${private}/${layer}/${header} SYMBOLIC)
    endforeach()
    target_include_directories(${target} PUBLIC ${public} PRIVATE ${private})
    if(L_INTERNAL_HEADERS OR L_INTERNALS)
        string(TOUPPER ${layer} upper)
        target_compile_definitions(${target} PRIVATE TOLLIVANE_${upper}_INTERNALS)
        # For the tests and the benchmarks of the layer's internals only.
        add_library(${target}_internals INTERFACE)
        target_include_directories(${target}_internals INTERFACE ${private})
        target_compile_definitions(${target}_internals INTERFACE TOLLIVANE_${upper}_INTERNALS)
        target_link_libraries(${target}_internals INTERFACE ${target})
    endif()
endfunction()
