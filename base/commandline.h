#pragma once

#include <cstdio>
#include <cstring>

// The options the programs answer before they open a window, so they work
// without a display. Only a first argument that begins with "-" is read as
// an option: any other first argument is a launch parameter, and a player
// may well be called "help". Qt's own options (-platform, -style, ...) are
// left for the application object.
namespace CommandLine {

// Go on and start the program; any other value is the exit status.
inline constexpr int Proceed = -1;

inline bool isQtOption(const char *arg)
{
    static const char *const names[] = {
        "platform", "platformpluginpath", "platformtheme", "plugin", "display", "style", "stylesheet",
        "geometry", "qwindowgeometry", "qwindowtitle", "qwindowicon", "reverse", "session", "name",
        "title", "widgetcount", "nograb", "dograb", "sync"};
    const char *name = arg + (std::strncmp(arg, "--", 2) == 0 ? 2 : 1);
    const size_t length = std::strcspn(name, "=");
    for (const char *known : names) {
        if (std::strlen(known) == length && std::strncmp(known, name, length) == 0)
            return true;
    }
    return false;
}

// program: the name printed with the version; usage: the help text, which
// begins with the "Usage:" lines.
inline int answer(int argc, char **argv, const char *program, const char *version, const char *usage,
                  std::FILE *out = stdout, std::FILE *err = stderr)
{
    if (argc < 2 || argv[1][0] != '-' || isQtOption(argv[1]))
        return Proceed;
    const char *option = argv[1];
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
        std::fputs(usage, out);
        return 0;
    }
    if (std::strcmp(option, "--version") == 0 || std::strcmp(option, "-v") == 0) {
        std::fprintf(out, "%s %s\n", program, version);
        return 0;
    }
    std::fprintf(err, "%s: unknown option '%s'\n%s", program, option, usage);
    return 2;
}

} // namespace CommandLine
