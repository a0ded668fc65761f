# Second compiler: Debian's clang for 64-bit Windows, with the MinGW-w64 headers and the MinGW
# gcc's libstdc++ (posix threads flavour), linked by lld.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# clang does not find the MinGW gcc's libstdc++ by itself: ask that gcc where it lives.
execute_process(COMMAND x86_64-w64-mingw32-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(QMK_GCC_DIR ${libgcc} DIRECTORY)
set(CMAKE_CXX_FLAGS_INIT
    "-isystem ${QMK_GCC_DIR}/include/c++ -isystem ${QMK_GCC_DIR}/include/c++/x86_64-w64-mingw32")
# The posix libstdc++ needs winpthreads; lld resolves archives in any order. The rest are the
# system libraries CMake gives gcc's build (the dialog tests draw with GDI).
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${QMK_GCC_DIR}")
endforeach()
set(CMAKE_CXX_STANDARD_LIBRARIES
    "-lpthread -lkernel32 -luser32 -lgdi32 -lwinspool -lshell32 -lole32 -loleaut32 -luuid -lcomdlg32 -ladvapi32")
