#!/usr/bin/env bash
# Runs a test program in a network namespace of its own that holds only the
# loopback device, which here also carries multicast (SSDP): nothing the test
# sends can leave the machine, and fixed ports such as 1900 and 5351 are its
# own. Usage: netns_run.sh PROGRAM [ARGS...]
set -euo pipefail
if [ "${1-}" != "--inner" ]; then
    exec unshare -n bash "$0" --inner "$@"
fi
shift
ip link set lo up
ip link set lo multicast on
ip route add 239.0.0.0/8 dev lo
exec "$@"
