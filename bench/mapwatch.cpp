// Starts a program and prints the CPU time (user + system, all its threads)
// it has spent when its first top-level window is mapped, then ends it.
//
//     mapwatch PROGRAM [ARG...]
//
// Prints one line: "<milliseconds>". Watches the X server named by DISPLAY for
// MapNotify events on the root window, so it needs no window manager; the
// window must carry the child's _NET_WM_PID, as every Qt window does.

#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Nanoseconds run by every live thread of pid (first field of schedstat).
long long cpuNanoseconds(pid_t pid)
{
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    long long total = 0;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            if (e->d_name[0] == '.')
                continue;
            std::ifstream in(dir + "/" + e->d_name + "/schedstat");
            long long ns = 0;
            if (in >> ns)
                total += ns;
        }
        closedir(d);
    }
    return total;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

bool belongsTo(xcb_connection_t *c, xcb_window_t w, xcb_atom_t pidAtom, pid_t pid)
{
    xcb_get_property_reply_t *r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    bool mine = false;
    if (r && xcb_get_property_value_length(r) >= 4)
        mine = *static_cast<uint32_t *>(xcb_get_property_value(r)) == uint32_t(pid);
    std::free(r);
    return mine;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: mapwatch PROGRAM [ARG...]\n");
        return 2;
    }
    // A server just started may refuse the first connection: a few tries.
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    for (int tries = 0; xcb_connection_has_error(c) && tries < 20; ++tries) {
        xcb_disconnect(c);
        poll(nullptr, 0, 50);
        c = xcb_connect(nullptr, nullptr);
    }
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "mapwatch: no X display\n");
        return 2;
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t pidAtom = atom(c, "_NET_WM_PID");
    xcb_flush(c);

    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        std::perror("mapwatch: exec");
        _exit(127);
    }
    long long ns = -1;
    bool gone = false;
    for (int waited = 0; ns < 0 && !gone && waited < 30000;) {
        xcb_generic_event_t *e = xcb_poll_for_event(c);
        if (!e) {
            if (xcb_connection_has_error(c))
                break;
            pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
            poll(&fd, 1, 50);
            waited += 50;
            int status = 0;
            gone = waitpid(pid, &status, WNOHANG) == pid;
            continue;
        }
        const bool mapped = (e->response_type & 0x7f) == XCB_MAP_NOTIFY;
        const xcb_window_t w = mapped ? reinterpret_cast<xcb_map_notify_event_t *>(e)->window : 0;
        std::free(e);
        if (mapped) {
            const long long now = cpuNanoseconds(pid);
            if (belongsTo(c, w, pidAtom, pid))
                ns = now;
        }
    }
    if (!gone) {
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    xcb_disconnect(c);
    if (ns < 0) {
        std::fprintf(stderr, "mapwatch: no window of %s was mapped\n", argv[1]);
        return 1;
    }
    std::printf("%.1f\n", double(ns) / 1e6);
    return 0;
}
