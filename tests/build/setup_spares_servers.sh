#!/usr/bin/env bash
# setup_spares_servers.sh: tools/setup.sh leaves an FTP server that it did
# not start running. A vsftpd of our own (standalone, as this user, on a free
# port of 127.0.0.1) stands for the developer's; it must outlive the setup,
# and is then ended by its own process id.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/empty" "$work/root"
cat >"$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
run_as_launching_user=YES
seccomp_sandbox=NO
anonymous_enable=YES
no_anon_password=YES
anon_root=$work/root
local_enable=NO
write_enable=NO
secure_chroot_dir=$work/empty
xferlog_enable=NO
vsftpd_log_file=$work/vsftpd.log
CONF
/usr/sbin/vsftpd "$work/vsftpd.conf" </dev/null >/dev/null 2>&1 &
server=$!
greets() {
  python3 -c "import socket,sys; s=socket.create_connection(('127.0.0.1', $port), 2); sys.exit(0 if s.recv(64).startswith(b'220') else 1)" 2>/dev/null
}
for _ in $(seq 50); do
  greets && break
  sleep 0.1
done
greets || { echo "our vsftpd did not start"; exit 1; }

bash "$root/tools/setup.sh" || { echo "tools/setup.sh failed"; exit 1; }

# Still answering, not only still there (an ended child stays until reaped).
if ! greets; then
  echo "tools/setup.sh ended a vsftpd it had not started (pid $server)"
  exit 1
fi
echo "the vsftpd started before the setup (pid $server) still answers"
exit 0
