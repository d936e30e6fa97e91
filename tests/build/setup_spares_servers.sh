#!/usr/bin/env bash
# setup_spares_servers.sh: tools/setup.sh leaves the servers that it did not
# start or install alone. A vsftpd and an sshd of our own (each standalone,
# on a free port of 127.0.0.1) stand for the developer's; they must outlive
# the setup, and are then ended by their own process ids. When the machine
# has its own SSH service (openssh-server installed before the setup), the
# setup must not ask the service tools to stop, disable or restart it, nor
# change its configuration, host keys or start links.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
servers=()
cleanup() {
  for pid in "${servers[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# greets <port> <first bytes of the greeting>
greets() {
  python3 -c "import socket,sys; s=socket.create_connection(('127.0.0.1', $1), 2); sys.exit(0 if s.recv(64).startswith(b'$2') else 1)" 2>/dev/null
}
started() {
  for _ in $(seq 50); do
    greets "$1" "$2" && return 0
    sleep 0.1
  done
  return 1
}

ftp_port=$(free_port)
mkdir -p "$work/empty" "$work/root"
cat >"$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$ftp_port
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
servers+=($!)
started "$ftp_port" 220 || { echo "our vsftpd did not start"; exit 1; }

ssh_port=$(free_port)
ssh-keygen -q -t ed25519 -N "" -f "$work/host_key" || exit 1
printf 'Port %s\nListenAddress 127.0.0.1\nHostKey %s\nPidFile none\nPasswordAuthentication no\n' \
  "$ssh_port" "$work/host_key" >"$work/sshd_config"
[ -d /run/sshd ] || mkdir -p /run/sshd  # its privilege separation folder
/usr/sbin/sshd -D -f "$work/sshd_config" </dev/null >/dev/null 2>&1 &
servers+=($!)
started "$ssh_port" SSH-2.0 || { echo "our sshd did not start"; exit 1; }

# The service tools, as the setup finds them: a call about ssh is written
# down and not made (so a faulty setup cannot harm the machine's service);
# any other goes to the real tool.
machine_ssh=0
dpkg-query -W -f='${Status}' openssh-server 2>/dev/null | grep -q "install ok installed" && machine_ssh=1
mkdir "$work/shims"
for tool in invoke-rc.d systemctl update-rc.d service deb-systemd-invoke; do
  cat >"$work/shims/$tool" <<SHIM
#!/bin/sh
case " \$* " in *ssh*) echo "$tool \$*" >>"$work/ssh_calls"; exit 0 ;; esac
PATH="$PATH" exec $tool "\$@"
SHIM
done
cat >"$work/shims/sudo" <<SHIM
#!/bin/sh
[ -x "$work/shims/\$1" ] && [ "\$1" != sudo ] && set -- "$work/shims/\$@"
PATH="$PATH" exec sudo "\$@"
SHIM
chmod +x "$work"/shims/*
ssh_state() {
  { ls -l /etc/rc?.d /etc/systemd/system/*.wants 2>/dev/null | grep -i ssh
    cat /etc/ssh/sshd_config /etc/ssh/sshd_config.d/* /etc/ssh/ssh_host_*.pub 2>/dev/null; } | sha256sum
}
before=$(ssh_state)

PATH="$work/shims:$PATH" bash "$root/tools/setup.sh" || { echo "tools/setup.sh failed"; exit 1; }

# Still answering, not only still there (an ended child stays until reaped).
faults=()
greets "$ftp_port" 220 || faults+=("ended a vsftpd it had not started (pid ${servers[0]})")
greets "$ssh_port" SSH-2.0 || faults+=("ended an sshd it had not started (pid ${servers[1]})")
if ((machine_ssh)); then
  [ -s "$work/ssh_calls" ] && faults+=("called on the machine's own SSH service: $(paste -sd';' "$work/ssh_calls")")
  [ "$(ssh_state)" = "$before" ] || faults+=("changed the SSH service's configuration, host keys or start links")
fi
((${#faults[@]})) && { printf 'tools/setup.sh %s\n' "${faults[@]}"; exit 1; }
echo "the servers started before the setup still answer; the machine's SSH service was left alone"
exit 0
