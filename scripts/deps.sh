# Installs the Debian packages named in the arguments that are missing.
# Sourced by the run and test scripts.
nw_install_missing() {
  local missing=()
  for pkg in "$@"; do
    dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

NW_BUILD_PACKAGES=(cmake g++ make pkg-config qtbase5-dev libqt5serialbus5-dev fp-utils
                   libqt5serialport5-dev libmodbus-dev)
# The Qt 6 build (-DNW_QT=6) beside the Qt 5 one.
NW_QT6_PACKAGES=(qt6-base-dev qt6-base-dev-tools qt6-serialbus-dev qt6-serialport-dev)
# scripts/check-windows: the Windows compiler (the Qt headers and uic come
# with the Qt 5 packages above).
NW_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix qtbase5-dev-tools)

# The -DCMAKE_BUILD_TYPE argument for the build folder $1: $2 for a new
# folder (followed by the further cache settings given, without spaces), none
# for one that exists, which keeps its configuration (so that the scripts and
# a developer's own configuration can share a folder without rebuilding
# everything).
nw_build_type() {
  [ -f "$1/CMakeCache.txt" ] || echo "-DCMAKE_BUILD_TYPE=$2" "${@:3}"
}
