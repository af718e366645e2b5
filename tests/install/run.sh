#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and builds a program outside the tree against
# it, once through find_package(kwuni) and once through pkg-config, then runs both without
# LD_LIBRARY_PATH.
set -eu
source_dir=$1 build_dir=$2 cxx=$3 cxxflags=${4:-}  # the flags of the build, sanitizers included
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
unset LD_LIBRARY_PATH

mkdir -p "$scratch/app"
cp "$source_dir/tests/install/app.cpp" "$scratch/app/"
cat >"$scratch/app/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(kwuni_consumer LANGUAGES CXX)
find_package(kwuni REQUIRED)
add_executable(app app.cpp)
target_compile_features(app PRIVATE cxx_std_20)
target_link_libraries(app PRIVATE kwuni::kwuni)
CMAKE
cmake -S "$scratch/app" -B "$scratch/app/build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
      -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$cxxflags" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/app/build" >/dev/null
(cd "$scratch" && "$scratch/app/build/app")

libdir=$(dirname "$(find "$prefix" -name kwuni.pc)")
flags=$(PKG_CONFIG_PATH=$libdir pkg-config --cflags --libs kwuni)
# shellcheck disable=SC2086
"$cxx" $cxxflags -o "$scratch/app/app-pc" "$scratch/app/app.cpp" $flags
(cd "$scratch" && "$scratch/app/app-pc")

"$prefix/bin/kwuni" list ccsid --json >/dev/null
"$prefix/bin/kwuni" tables | grep -Eq '^ *37 ' || { echo "the installed tool lists no table for 37"; exit 1; }

# The Python package, when the build has one: imported from where it was installed, it must use
# the installed library and its tables.
extension=$(find "$prefix" -name '_kwuni*.so' -print -quit)
if [ -n "$extension" ]; then
  python=$(sed -n 's/^KWUNI_PYTHON_EXECUTABLE:INTERNAL=//p' "$build_dir/CMakeCache.txt")
  sanitizer=()  # the interpreter loads ASan's runtime and the C++ one first; its leaks are not ours
  case "$cxxflags" in
    *-fsanitize=*address*)
      sanitizer=("LD_PRELOAD=$("$cxx" -print-file-name=libasan.so) $("$cxx" -print-file-name=libstdc++.so)"
                 ASAN_OPTIONS=detect_leaks=0) ;;
  esac
  env "${sanitizer[@]}" PYTHONPATH="$(dirname "$(dirname "$extension")")" \
    "${python:-/usr/bin/python3}" - "$prefix" <<'PYTHON'
import sys

import kwuni

prefix = sys.argv[1]
assert kwuni.__file__.startswith(prefix), kwuni.__file__
assert b"\xc1\x0e\x45\x62\x0f".decode("kwuni-930") == "A\u65e5"
assert "A\u65e5".encode("cp930") == b"\xc1\x0e\x45\x62\x0f"
assert (37, "37 - English (United States, Canada)") in kwuni.tables()
libraries = {line.split()[-1] for line in open("/proc/self/maps") if "libkwuni.so" in line}
assert libraries and all(path.startswith(prefix) for path in libraries), libraries
PYTHON
fi
echo "installed copy works through CMake, pkg-config, the tool and Python"
