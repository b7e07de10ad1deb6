#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian machine and
# fetches the source packages of our dependencies into third_party/src (ignored
# by git). Safe to run again: every step checks first and does only what is missing.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SRC_DIR="$ROOT/third_party/src"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  cmake make ninja-build dpkg-dev python3 xz-utils clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 fonts-wine xvfb xauth x11-apps netpbm
  hunspell-en-us
  googletest
)
SOURCE_PACKAGES=(hunspell tinyxml2)

log() { printf 'bootstrap: %s\n' "$*"; }

missing_packages() {
  local pkg
  for pkg in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
  done
}

# Debian's deb822 sources name the binary archives only; a second file with the
# same archives as deb-src lets apt-get source find the source packages.
ensure_deb_src() {
  local list=/etc/apt/sources.list.d/velmora-src.sources
  if [ -f "$list" ] || grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  log "enabling Debian source packages"
  $SUDO tee "$list" >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
}

install_packages() {
  local missing
  missing="$(missing_packages)"
  [ -z "$missing" ] && return
  $SUDO apt-get update -qq
  log "installing: $(echo $missing | tr '\n' ' ')"
  # shellcheck disable=SC2086
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
}

fetch_sources() {
  mkdir -p "$SRC_DIR"
  local pkg
  for pkg in "${SOURCE_PACKAGES[@]}"; do
    if ls -d "$SRC_DIR/$pkg"-*/ >/dev/null 2>&1; then continue; fi
    if [ "$NEED_UPDATE" = 1 ]; then $SUDO apt-get update -qq; NEED_UPDATE=0; fi
    log "fetching the source of $pkg"
    # apt warns that it downloads as root when _apt cannot write here; harmless.
    (cd "$SRC_DIR" && apt-get source -qq "$pkg" 2>&1 >/dev/null | grep -v '^W: Download is performed unsandboxed' || true)
    ls -d "$SRC_DIR/$pkg"-*/ >/dev/null 2>&1 || { log "could not fetch the source of $pkg"; exit 1; }
  done
}

# gumbo-parser (the HTML5 parser under the message sanitiser): Debian's mirror
# here lists its source package but serves no tarball, so its sources come
# from the npm registry, where a package carries gumbo 0.10.1 unchanged. Only
# the C sources are used; nothing of the package is run.
GUMBO_PACKAGE="gumbo-parser@0.3.0"
GUMBO_SHA256="d47101b5182186c4646f7eba5107308dbf93392621ae8c12bd35a7d867c8e913"
GUMBO_DIR="$SRC_DIR/gumbo-parser-0.10.1"

fetch_gumbo() {
  [ -f "$GUMBO_DIR/src/parser.c" ] && return
  if ! command -v npm >/dev/null 2>&1; then
    $SUDO apt-get update -qq
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends npm
  fi
  log "fetching the source of gumbo-parser"
  local tmp
  tmp="$(mktemp -d)"
  (cd "$tmp" && npm pack --silent "$GUMBO_PACKAGE" >/dev/null)
  local tarball
  tarball="$(ls "$tmp"/*.tgz)"
  if ! echo "$GUMBO_SHA256  $tarball" | sha256sum -c --status; then
    rm -rf "$tmp"
    log "the gumbo-parser package does not have the expected checksum"
    exit 1
  fi
  tar -xzf "$tarball" -C "$tmp"
  mkdir -p "$SRC_DIR"
  rm -rf "$GUMBO_DIR"
  mv "$tmp/package/deps/gumbo-parser" "$GUMBO_DIR"
  rm -rf "$tmp"
}

NEED_UPDATE=0
ensure_deb_src
install_packages
NEED_UPDATE=0
# A machine whose package lists predate the deb-src entry knows no sources yet.
if ! apt-cache showsrc hunspell 2>/dev/null | grep -q '^Package:'; then NEED_UPDATE=1; fi
fetch_sources
fetch_gumbo
log "ready"
