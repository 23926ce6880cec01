#!/usr/bin/env bash
# Set-up command 2: installs what is missing, builds, and runs the whole test suite.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
# The core (protocol, files, maths) and the command-line tool must build without any widget
# library: a core file that includes a window header fails here.
cmake -S "$ROOT" -B "$ROOT/build-core" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMETER_BUILD_GUI=OFF \
    -DMETER_BUILD_TESTS=OFF >/dev/null
cmake --build "$ROOT/build-core" -j"$(nproc)" --target meter_core meter_sim multimeter-cli
build
cd "$BUILD_DIR"
ctest --output-on-failure -j"$(nproc)" "$@"
