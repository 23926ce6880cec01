#!/usr/bin/env bash
# Set-up command 1: installs what is missing, builds, and runs the program on its built-in
# simulated meter. Extra arguments go to the program.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
build
exec "$BUILD_DIR/app/multimeter" --demo "$@"
