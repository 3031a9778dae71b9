#!/usr/bin/env bash
# A vsftpd server on 127.0.0.1 that demands TLS on the control and the data
# connections (with TLS session reuse on the data connections), for the tests
# and the benchmarks. Needs root: it creates the login user and its PAM
# service when they are missing.
#
#   tests/support/vsftpd_server.sh DIR [--implicit] [--cert-name NAME] [--plain] [--ipv6]
#
# DIR (created when missing) receives root/ (the served folder, writable by
# the login user), cert.pem (the server's self-signed certificate for NAME,
# default 127.0.0.1; give it as the client's trusted certificate), key.pem,
# vsftpd.conf and vsftpd.log (every command and reply). --implicit speaks TLS
# from the first byte; --plain speaks plain FTP without TLS; --ipv6 listens on
# ::1 instead (its data connections by EPSV and EPRT). When the server listens, the script prints
# "PORT <n>" and "USER <name> <password>" and keeps running until its
# standard input closes or it gets SIGTERM; on failure it prints the reason on
# standard error and exits with status 1.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/loopback_server.sh"

user=dorvan-ftps
password=Ftps-loopback-7
dir=
implicit=NO
cert_name=127.0.0.1
tls=YES
loopback=127.0.0.1
while [ $# -gt 0 ]; do
    case $1 in
        --implicit) implicit=YES ;;
        --plain) tls=NO ;;
        --ipv6) loopback=::1 ;;
        --cert-name) cert_name=$2; shift ;;
        *) dir=$1 ;;
    esac
    shift
done
[ -n "$dir" ] || { echo "usage: $0 DIR [--implicit] [--cert-name NAME] [--plain] [--ipv6]" >&2; exit 1; }
fail() { echo "vsftpd_server: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "must run as root (vsftpd and its login user need it)"
[ -x /usr/sbin/vsftpd ] || fail "vsftpd is not installed (scripts/install-deps.sh)"

# The login user: no home of its own ("/"), no shell, a fixed password.
if ! id "$user" >/dev/null 2>&1; then
    useradd --system --no-create-home --home-dir / --shell /usr/sbin/nologin "$user" || fail "cannot create user $user"
fi
echo "$user:$password" | chpasswd || fail "cannot set the password of $user"
pam=/etc/pam.d/$user
if [ ! -f "$pam" ]; then
    printf 'auth required pam_unix.so\naccount required pam_unix.so\nsession required pam_permit.so\n' > "$pam"
fi

mkdir -p "$dir/root" "$dir/empty"
dir=$(cd "$dir" && pwd)
chmod 755 "$dir" "$dir/empty"
chown "$user" "$dir/root"
if [ ! -f "$dir/cert.pem" ]; then
    san=DNS:$cert_name
    [[ $cert_name =~ ^[0-9.]+$ ]] && san=IP:$cert_name
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$cert_name" -addext "subjectAltName=$san" \
        -keyout "$dir/key.pem" -out "$dir/cert.pem" 2>"$dir/openssl.err" || fail "openssl: $(cat "$dir/openssl.err")"
fi

read -r port < <(free_port_block "$loopback")
if [ "$loopback" = ::1 ]; then
    listen="listen=NO
listen_ipv6=YES
listen_address6=::1"
    listening_table=/proc/net/tcp6 listening_address=00000000000000000000000001000000
else
    listen="listen=YES
listen_ipv6=NO
listen_address=127.0.0.1"
    listening_table=/proc/net/tcp listening_address=0100007F
fi

cat > "$dir/vsftpd.conf" <<CONF
$listen
listen_port=$port
background=NO
anonymous_enable=NO
local_enable=YES
write_enable=YES
local_umask=022
local_root=$dir/root
pam_service_name=$user
userlist_enable=NO
seccomp_sandbox=NO
secure_chroot_dir=$dir/empty
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=$((port + 1))
pasv_max_port=$((port + 16))
port_enable=YES
connect_from_port_20=NO
ssl_enable=$tls
implicit_ssl=$implicit
allow_anon_ssl=NO
force_local_logins_ssl=YES
force_local_data_ssl=YES
require_ssl_reuse=YES
ssl_request_cert=NO
rsa_cert_file=$dir/cert.pem
rsa_private_key_file=$dir/key.pem
xferlog_enable=YES
xferlog_std_format=NO
vsftpd_log_file=$dir/vsftpd.log
log_ftp_protocol=YES
CONF
: > "$dir/vsftpd.log"

serve vsftpd "$listening_address" "$listening_table" /usr/sbin/vsftpd "$dir/vsftpd.conf"
