#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian 12.
# Idempotent: packages already present are left alone.
set -euo pipefail

PKGS=(
  cmake ninja-build make g++ clang llvm
  googletest libgtest-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth x11-apps x11-utils imagemagick
  python3 python3-pyftpdlib python3-openssl openssl vsftpd curl lftp file procps psmisc
  wixl msitools fp-utils
  dpkg-dev libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev
  openssh-server openssh-sftp-server libssh-dev
)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
new_vsftpd=0
new_sshd=0
if ((${#missing[@]})); then
  case " ${missing[*]} " in *" vsftpd "*) new_vsftpd=1 ;; esac
  case " ${missing[*]} " in *" openssh-server "*) new_sshd=1 ;; esac
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# vsftpd and sshd are test peers only: each test starts its own, on a free
# port of 127.0.0.1, and ends it by its process id. Installing a package starts
# its system service; that one is stopped and kept from starting again, but
# only when this run installed it: one that was there before is the machine's
# own and is left alone.
stop_service() {
  $SUDO invoke-rc.d "$1" stop >/dev/null 2>&1 || true
  if command -v systemctl >/dev/null 2>&1; then
    $SUDO systemctl disable --quiet "$1" >/dev/null 2>&1 || true
  else
    $SUDO update-rc.d "$1" disable >/dev/null 2>&1 || true
  fi
}
((new_vsftpd)) && stop_service vsftpd
((new_sshd)) && stop_service ssh

# The SFTP tests log in as this account; its password is known to them.
if ! id suitesftp >/dev/null 2>&1; then
  $SUDO useradd --create-home --shell /bin/sh suitesftp
fi
echo 'suitesftp:Sftp-Test-24' | $SUDO chpasswd

# libssh for the Windows builds comes from Debian's own source package of the
# same suite; it is built by CMake beside the programs and never committed.
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ ! -f "$root/third_party/libssh/CMakeLists.txt" ]; then
  src=/etc/apt/sources.list.d/suite-src.sources
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' | $SUDO tee "$src" >/dev/null
    $SUDO apt-get update -qq
  fi
  mkdir -p "$root/third_party"
  rm -rf "$root/third_party/libssh" "$root"/third_party/libssh-*
  (cd "$root/third_party" && apt-get source -qq libssh >/dev/null 2>&1 && \
   mv "$(find . -maxdepth 1 -type d -name 'libssh-*' | head -1)" libssh && \
   rm -f libssh_*)
fi
exit 0
