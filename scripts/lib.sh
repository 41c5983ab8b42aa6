# Shared by scripts/run and scripts/test: install what is missing, configure
# and build incrementally.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-2}"

ensure_deps() {
  local missing=()
  while read -r pkg; do
    pkg="${pkg%%#*}"; pkg="${pkg//[[:space:]]/}"
    [ -n "$pkg" ] || continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done < "$ROOT/scripts/deps.txt"
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_preset() {
  local preset="$1"; shift
  local dir="$ROOT/build"
  [ "$preset" = default ] || dir="$ROOT/build-$preset"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake --preset "$preset" -S "$ROOT" "$@" >/dev/null
  fi
  cmake --build "$dir" -j "$JOBS"
}
