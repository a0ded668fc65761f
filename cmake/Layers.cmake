# Every layer library publishes only its own headers, each under its folder's prefix
# ("fragments/dpt_settings.h"): the library gets an include root of its own in the build tree
# that holds links to what it publishes, so a header resolves only for targets that link the
# library. docs/architecture.md describes the layers.
set(QMK_INCLUDE_ROOT ${CMAKE_BINARY_DIR}/include)

function(qmk_link_into_root target source link)
    get_filename_component(directory ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${directory})
    file(CREATE_LINK ${source} ${link} SYMBOLIC)
endfunction()

function(qmk_add_include_root target)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${QMK_INCLUDE_ROOT}/${target})
    else()
        target_include_directories(${target} PUBLIC ${QMK_INCLUDE_ROOT}/${target})
    endif()
endfunction()

# qmk_publish_folder(target folder): every header of src/<folder>.
function(qmk_publish_folder target folder)
    qmk_link_into_root(${target} ${CMAKE_SOURCE_DIR}/src/${folder}
                       ${QMK_INCLUDE_ROOT}/${target}/${folder})
    qmk_add_include_root(${target})
endfunction()

# qmk_publish_headers(target folder/header.h ...): just these headers of src/.
function(qmk_publish_headers target)
    foreach(header ${ARGN})
        qmk_link_into_root(${target} ${CMAKE_SOURCE_DIR}/src/${header}
                           ${QMK_INCLUDE_ROOT}/${target}/${header})
    endforeach()
    qmk_add_include_root(${target})
endfunction()
