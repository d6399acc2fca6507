# The Debian packages each script needs, one list per purpose, and the function that installs
# them. Sourced by the scripts in this folder.

# The compiler and make, which Debian assumes of every build (build-essential) and so leaves out
# of Build-Depends.
toolchain_packages=(g++ make)
# Building the programs, their manual pages and completion: exactly debian/control's
# Build-Depends, those without a build profile (the test package_build_depends holds the two
# together). nlohmann-json3-dev (header-only) writes and reads rm7ux's JSON.
build_packages=(cmake pkg-config scdoc nlohmann-json3-dev libsqlite3-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev)
# scripts/run: building, and the window without a display (Xvfb, and the screenshot that shows
# it connected).
run_packages=("${toolchain_packages[@]}" "${build_packages[@]}" xvfb xauth xdotool imagemagick)
# scripts/test, scripts/sanitize, scripts/fuzz: the suite (GoogleTest; bash-completion, man and
# dpkg-parsechangelog for the package's tests; Xvfb and co. for the smoke test of the window;
# ser2net for network ports), clang and its sanitizer runtimes for the fuzz targets, and
# clang-format for the code's layout.
test_packages=(libgtest-dev bash-completion man-db dpkg-dev xvfb xauth xdotool imagemagick
  ser2net clang libclang-rt-14-dev clang-format)
# scripts/package: debhelper's build and Debian's checks (lintian, hardening-check).
package_packages=(dpkg-dev debhelper lintian devscripts)

# need_packages SCRIPT PACKAGE...: installs those missing, as root or through sudo; without
# either, names the apt-get line to run and stops the script.
need_packages() {
  local script=$1 p
  shift
  local missing=()
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  ((${#missing[@]})) || return 0
  local install=(apt-get install -y -qq --no-install-recommends "${missing[@]}")
  local as=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "$script: these packages are missing: ${missing[*]}" >&2
      echo "$script: as root, run:  apt-get install --no-install-recommends ${missing[*]}" >&2
      exit 1
    fi
    as=(sudo)
  fi
  echo "$script: installing ${missing[*]}"
  "${as[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${as[@]}" env DEBIAN_FRONTEND=noninteractive "${install[@]}" >/dev/null
}
