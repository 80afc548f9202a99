# Installs the Debian packages a command needs when they are missing. Sourced by the
# scripts in this folder; call need_packages with package names.
need_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing missing packages: ${missing[*]}"
        if [[ " ${missing[*]} " == *":i386"* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
            dpkg --add-architecture i386
        fi
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
    fi
}

# nlohmann-json3-dev: the render tool's JSON writer. lv2-dev: the LV2 headers; liblilv-dev and
# lilv-utils: the host library and lv2apply, with which the tests load and run the LV2 bundle.
# help2man writes the render tool's manual page; dpkg-dev's dpkg-shlibdeps finds the Debian
# package's dependencies. libsoxr-dev: the render tool's sample-rate conversion.
BASE_PACKAGES=(cmake ninja-build g++ pkg-config googletest libgtest-dev libbenchmark-dev
               libsndfile1-dev libebur128-dev libcli11-dev nlohmann-json3-dev lv2-dev liblilv-dev
               lilv-utils help2man dpkg-dev libsoxr-dev)

# Cross compilers for the Windows DLLs and wine to run their tests; wine64 runs the 64-bit
# programs, wine32 the 32-bit ones.
WINDOWS_PACKAGES=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64)

# clang with its sanitizer runtimes and libFuzzer for the asan, fuzz and tsan presets, and
# llvm-symbolizer so that sanitizer reports name files and lines.
SANITIZER_PACKAGES=(clang-14 libclang-rt-14-dev llvm-14)

# The formatting check of the test run: the clang-format that Debian 12 ships.
FORMAT_PACKAGES=(clang-format-14)

# The render benchmark: sox to generate its programme and to compare with, ffmpeg to compare
# with, GNU time for the peak resident memory, bc for the arithmetic.
BENCH_PACKAGES=(sox ffmpeg time bc)
