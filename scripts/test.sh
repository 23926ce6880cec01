#!/usr/bin/env bash
# Set-up command 2: installs what is missing, builds, and runs the whole test suite.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
build
cd "$BUILD_DIR"
ctest --output-on-failure -j"$(nproc)" "$@"
