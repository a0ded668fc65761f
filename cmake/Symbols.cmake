# Symbols that Windows debuggers read: with clang and lld the shipped DLL carries CodeView and
# its PDB lies beside it (bin/qmkihvui.pdb). The DLL's debug directory names the PDB by its
# bare file name, so a debugger looks it up in the symbol path, not in this build's folders.
# Nothing of the build's folder goes into the DLL or the PDB: the objects record "." as their
# folder and file names relative to the source tree, and lld makes them absolute against a
# fixed folder. Two builds of one commit in differently named folders give the same bytes.
if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(QMK_PDB ON)
    # No colours either: the driver asks for them on a terminal, and clang would record that.
    add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-g;-gcodeview;-ffile-compilation-dir=.;-fno-color-diagnostics>")
    # Both folders out of the command lines that clang and lld record (a build folder sits two
    # levels below the source: build/NAME).
    file(RELATIVE_PATH source_from_build ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
    string(REGEX REPLACE "/$" "" source_from_build "${source_from_build}")
    set(relative ${CMAKE_SOURCE_DIR}/cmake/relative-command-line ${CMAKE_SOURCE_DIR}
                 ${CMAKE_BINARY_DIR} ${source_from_build})
    foreach(language C CXX)
        set(CMAKE_${language}_COMPILER_LAUNCHER ${relative} ${CMAKE_${language}_COMPILER_LAUNCHER})
        set(CMAKE_${language}_LINKER_LAUNCHER ${relative} ${CMAKE_${language}_LINKER_LAUNCHER})
    endforeach()
endif()

# qmk_pdb_symbols(target): TARGET's PDB beside it, named by its bare name in its debug
# directory. The MinGW runtime's objects and archives bring DWARF sections, which lld 14
# keeps whenever it writes a PDB; the link step itself drops them again (llvm-objcopy right
# after lld, in the same build step), so the file every test loads is the file shipped.
function(qmk_pdb_symbols target)
    if(NOT QMK_PDB)
        return()
    endif()
    find_program(QMK_LLVM_OBJCOPY NAMES llvm-objcopy-14 llvm-objcopy REQUIRED)
    target_link_options(${target} PRIVATE "-Wl,--pdb=" "-Wl,--Xlink=-pdbaltpath:%_PDB%"
                        "-Wl,--Xlink=-pdbsourcepath:C:\\qmkihvui")
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND ${QMK_LLVM_OBJCOPY} --strip-debug $<TARGET_FILE:${target}>
                       VERBATIM)
endfunction()
