#!/usr/bin/env bash
# A hand-run trial of the port mapper against a real UPnP IGD / NAT-PMP
# daemon (miniupnpd, nftables backend) standing in for a home router. Not part
# of the test suite; needs root, nft and miniupnpd-nftables.
#
#   home ns  192.168.77.2 --veth-- 192.168.77.1 router ns $WAN.1 --veth-- $WAN.254 isp ns
#
# WAN (first three parts of the router's outside address) defaults to an
# ordinary public range, which no packet can reach from these namespaces;
# WAN=203.0.113 gives the router a reserved outside address, as behind a
# second router or a provider's NAT, where miniupnpd refuses every forward.
#
# The router namespace runs miniupnpd with wan0 as its outside interface. The
# driver (target portmap_trial) runs in the home namespace, once by UPnP and
# once by NAT-PMP; after each answer the router's forward rules and lease file
# are shown, then the driver removes the forward and they are shown again.
# Nothing leaves the three namespaces.
# Usage: scripts/router-trial.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: router-trial.sh BUILD_DIR}
driver=$build/portmap/portmap_trial
[ -x "$driver" ] || cmake --build "$build" --target portmap_trial >/dev/null
command -v nft >/dev/null && [ -x /usr/sbin/miniupnpd ] || { echo "needs nft and miniupnpd-nftables: bash scripts/setup-deps.sh --router-trial" >&2; exit 1; }

wan=${WAN:-11.12.13}
home=pmtrial-home-$$ router=pmtrial-router-$$ isp=pmtrial-isp-$$
work=$(mktemp -d)
daemon=
cleanup() {
    [ -n "$daemon" ] && kill "$daemon" 2>/dev/null && wait "$daemon" 2>/dev/null
    for ns in "$home" "$router" "$isp"; do ip netns del "$ns" 2>/dev/null || true; done
    [ -n "${KEEP-}" ] && cp "$work/daemon.log" /tmp/pmtrial-daemon.log; rm -rf "$work"
}
trap cleanup EXIT

for ns in "$home" "$router" "$isp"; do ip netns add "$ns"; ip -n "$ns" link set lo up; done
ip link add home0 netns "$home" type veth peer name lan0 netns "$router"
ip link add wan0 netns "$router" type veth peer name isp0 netns "$isp"
ip -n "$home" addr add 192.168.77.2/24 dev home0
ip -n "$router" addr add 192.168.77.1/24 dev lan0
ip -n "$router" addr add $wan.1/24 dev wan0
ip -n "$isp" addr add $wan.254/24 dev isp0
for pair in "$home home0" "$router lan0" "$router wan0" "$isp isp0"; do set -- $pair; ip -n "$1" link set "$2" up; done
ip -n "$home" route add default via 192.168.77.1
ip -n "$router" route add default via $wan.254
ip netns exec "$router" sysctl -qw net.ipv4.ip_forward=1

ip netns exec "$router" nft -f - <<'NFT'
table inet filter {
  chain miniupnpd { }
  chain prerouting_miniupnpd { }
  chain postrouting_miniupnpd { }
  chain forward { type filter hook forward priority 0; policy drop; jump miniupnpd; }
  chain prerouting { type nat hook prerouting priority -100; policy accept; jump prerouting_miniupnpd; }
  chain postrouting { type nat hook postrouting priority 100; policy accept; jump postrouting_miniupnpd; }
}
NFT

cat > "$work/miniupnpd.conf" <<CONF
ext_ifname=wan0
listening_ip=lan0
port=0
enable_upnp=yes
enable_natpmp=yes
secure_mode=yes
system_uptime=yes
lease_file=$work/leases
uuid=3a1f0c52-7d1e-4a8b-9c55-2f6d0e9b1a77
allow 1024-65535 192.168.77.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
CONF
ip netns exec "$router" /usr/sbin/miniupnpd -d -f "$work/miniupnpd.conf" -P "$work/pid" >"$work/daemon.log" 2>&1 &
daemon=$!
sleep 1  # a hand-run trial: give the daemon its moment to bind

show() {
    echo "--- router forward rules (nft prerouting_miniupnpd):"
    ip netns exec "$router" nft list chain inet filter prerouting_miniupnpd | grep -E 'dnat|tcp' || echo "    (none)"
    echo "--- router lease file:"
    if [ -s "$work/leases" ]; then sed 's/^/    /' "$work/leases"; else echo "    (empty)"; fi
}

for mode in --upnp-only --natpmp-only; do
    echo "=== driver $mode"
    coproc DRIVER { ip netns exec "$home" "$driver" "$mode" 7772; }
    out=${DRIVER[0]} in=${DRIVER[1]} pid=$DRIVER_PID
    read -r answer <&"$out"
    echo "$answer"
    show
    if [[ $answer == MAPPED* ]]; then
        echo >&"$in"
        read -r answer <&"$out" || true
        echo "$answer"
        show
    fi
    wait "$pid" || true
done
echo "=== miniupnpd log (port lines)"
grep -iE 'redirect|7772|natpmp|lease' "$work/daemon.log" | sed 's/^/    /' | tail -20
