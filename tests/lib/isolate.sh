# Sourced first by the script tests that run the real programs, with the
# script's own arguments. It runs the script again in a network namespace of
# its own (the game listens on its fixed ports) and a mount namespace with a
# private /tmp/.X11-unix. X clients fall back from the namespace's abstract
# socket to the socket file there, so with a shared folder a client of one
# test could reach another test's X server whenever its own was not
# answering. $isolate_wrap, when set, runs between unshare and the script
# (accessibility.sh puts its session bus there).
if [ "${1:-}" != "--inner" ]; then
    # shellcheck disable=SC2086
    exec unshare -n -m --propagation private ${isolate_wrap:-} bash "$0" --inner "$@"
fi
shift
ip link set lo up
mkdir -p /tmp/.X11-unix
mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix
