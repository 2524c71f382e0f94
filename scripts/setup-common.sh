# Shared by ./scripts/demo and ./scripts/test: installs the Debian packages the
# build and the program need when they are missing, then configures and builds
# into build/.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${QUILLOR_BUILD_DIR:-$ROOT/build}"

PACKAGES=(
  cmake g++ make
  qt6-base-dev qt6-base-dev-tools
  pkg-config libxcb1-dev
  libqt6sql6-sqlite libqt6sql6-odbc
  unixodbc unixodbc-dev tdsodbc libsqliteodbc
  xvfb xauth
  xdg-utils curl
)
# libxcb1-dev (found through pkg-config): the start-up connects to an X
# display as Qt would before Qt is asked to, since Qt aborts where it cannot.
# What the program starts at run time: xdg-utils opens the log file, the logs
# folder and the web administration pages in the desktop's programs; curl is
# what the update script test.sh, started beside the program, asks the tools
# site with.

install_missing_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}

# build [TARGET...]: configures, then builds the targets named, or everything
# when none is named, with one job per core unless CMAKE_BUILD_PARALLEL_LEVEL says otherwise. Configuring copies what ships beside the program (the help
# page, test.sh) into bin/, so the program's target alone makes a runnable folder.
build() {
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE="${QUILLOR_BUILD_TYPE:-RelWithDebInfo}" ${QUILLOR_CMAKE_ARGS:-}
  # CMAKE_BUILD_PARALLEL_LEVEL, when set, is CMake's own: an explicit -j would override it.
  local jobs=()
  [ -n "${CMAKE_BUILD_PARALLEL_LEVEL:-}" ] || jobs=(-j"$(nproc)")
  if (($#)); then
    cmake --build "$BUILD_DIR" "${jobs[@]}" --target "$@"
  else
    cmake --build "$BUILD_DIR" "${jobs[@]}"
  fi
}
