#!/usr/bin/env bash
# Runs examples/parallel_forward.m with its batch also spread over a cluster
# of the parallel package: one server, on 127.0.0.1, whose results must be
# those of the serial run bit for bit.
# Usage: cluster_forward.sh <octave-pserver> <module dir> <scratch dir>
#
# The server takes commands without authentication (Debian's build has no
# TLS), so it runs in a network namespace of its own, reachable through that
# namespace's loopback alone, and under a host name of its own, which keeps
# its pid file apart from any other server's. It refuses to run as root and
# runs as nobody. Both need root: otherwise the test is skipped (77).
set -euo pipefail
server=$1
module_dir=$2
scratch=$3
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: the cluster test needs root, for a network of its own and to run the server as nobody"
    exit 77
fi
if [ "${CLUSTER_FORWARD_NETWORK:-}" != private ]; then
    exec env CLUSTER_FORWARD_NETWORK=private unshare --net --uts bash "$0" "$@"
fi
ip link set lo up
hostname "cluster-forward-$$"
pid_file=/tmp/.octave-$(hostname).pid

rm -rf "$scratch"
mkdir -p "$scratch/home"
chown nobody:nogroup "$scratch/home"
# The server starts its Octave sessions through this, for --no-history.
printf '#!/bin/sh\nexec octave-cli --no-history "$@"\n' >"$scratch/octave"
chmod 755 "$scratch/octave"

stop_server() {
    [ -f "$pid_file" ] || return 0
    local pid
    pid=$(cat "$pid_file")
    kill "$pid"
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    echo "the cluster server (pid $pid) did not stop"
}
trap stop_server EXIT
HOME=$scratch/home setpriv --reuid=nobody --regid=nogroup --clear-groups \
    "$server" --octave-binary="$scratch/octave" --no-auth
for _ in $(seq 100); do
    ss -ltn | grep -q ':12502 ' && break
    sleep 0.1
done

MEX_MODULE_DIR=$module_dir MEX_CLUSTER_HOSTS=127.0.0.1 HOME=$scratch \
    octave-cli --no-history --no-gui -q --no-init-file "$root/examples/parallel_forward.m"
