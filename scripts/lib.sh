# Shared by the project's scripts: prerequisites and the two builds.

packages=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 wine64
    fonts-wine xvfb cmake ninja-build googletest g++ imagemagick x11-apps clang
    libclang-rt-14-dev fonts-noto-cjk python3 osslsigncode openssl zip fonts-dejavu-core
    fonts-tlwg-loma-ttf python3-fonttools lld clang-tidy cppcheck
    clang-format llvm-14 gcab cabextract python3-asn1crypto)

install_prerequisites() {
    local missing=()
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q >/dev/null &&
        apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null || {
        echo "could not install ${missing[*]}" >&2
        return 1
    }
}

build_windows() {
    cmake -S "$root" -B "$root/build/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null &&
        cmake --build "$root/build/windows" || {
        echo "Windows build failed" >&2
        return 1
    }
}

# The shipped build: clang and lld, qmkihvui.dll with qmkihvui.pdb beside it, and every Windows
# test, which load that very DLL. build_windows (gcc) is the tests' second compiler.
build_windows_clang() {
    cmake -S "$root" -B "$root/build/windows-clang" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/clang-mingw-w64-x86_64.cmake" >/dev/null &&
        cmake --build "$root/build/windows-clang" "$@" || {
        echo "Windows build with clang failed" >&2
        return 1
    }
}

# clang, so that the sanitized variants (ThreadSanitizer among them) are clang's.
build_native() {
    CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null &&
        cmake --build "$root/build/native" || {
        echo "native build failed" >&2
        return 1
    }
}

# The libFuzzer targets of the text layer (fuzz/): a native clang build.
build_fuzz() {
    CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQMK_FUZZ=ON >/dev/null &&
        cmake --build "$root/build/fuzz" --target qmk_fuzzers || {
        echo "fuzz build failed" >&2
        return 1
    }
}
