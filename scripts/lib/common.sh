# Shared by the set-up scripts: the packages a fresh Debian 12 machine lacks, and the builds.

VILO_PACKAGES="cmake ninja-build g++ pkg-config libgtest-dev libbenchmark-dev clang libclang-rt-14-dev locales"

# Installs what is missing with apt-get when run as root; otherwise prints the line to run.
ensure_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
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

# configure_build DIR [cmake options...]: configures (once) and builds everything in DIR.
configure_build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$(nproc)"
}
