# What the shell tests and measuring scripts share, sourced by them: a scratch folder
# $work and the processes in $pids, both gone at exit; a failure that says where; a free
# port on the loopback; and a test CA with a server certificate for localhost.

work=$(mktemp -d)
pids=()

cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# wait_until SECONDS COMMAND...: true once the command succeeds, false after SECONDS.
wait_until() {
    local until=$((SECONDS + $1))
    shift
    while ! "$@" 2>/dev/null; do
        ((SECONDS < until)) || return 1
        sleep 0.2
    done
}

# make_test_certificates DIR: ca.pem, and server.pem with server.key for localhost and 127.0.0.1.
make_test_certificates() {
    mkdir -p "$1"
    (
        cd "$1"
        openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Station Test CA" -keyout ca.key -out ca.pem
        openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server.key -out server.csr
        printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' >san.ext
        openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile san.ext -out server.pem
    ) >/dev/null 2>&1 || fail "could not make the test certificates"
}
