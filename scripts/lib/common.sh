# Shared by the set-up scripts: the packages a fresh Debian 12 machine lacks, and the builds.

VILO_PACKAGES="cmake ninja-build g++ pkg-config libgtest-dev libbenchmark-dev clang libclang-rt-14-dev locales"

# The cross compilers and Wine for the Windows build of the library and its tests.
WINDOWS_PACKAGES="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64"

# Prints those of the packages named that are not installed.
missing_packages() {
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || echo "$package"
  done
}

# Installs what is missing with apt-get when run as root; otherwise prints the line to run.
ensure_packages() {
  local missing
  mapfile -t missing < <(missing_packages "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Run as root:" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Generates ru_RU.UTF-8, under which the tests check that numbers keep their "." separator.
ensure_russian_locale() {
  locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$' && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "The locale ru_RU.UTF-8 is missing; the test of a decimal-comma locale will be skipped." >&2
    echo "  To generate it, as root: localedef -i ru_RU -f UTF-8 ru_RU.UTF-8" >&2
    return 0
  fi
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
}

# configure_build DIR [cmake options...]: configures (once) and builds everything in DIR.
configure_build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$(nproc)"
}
