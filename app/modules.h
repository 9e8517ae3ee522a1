#pragma once

#include <QString>

// The game's optional parts (sound playback, downloads) live in modules of
// their own, loaded on first use, so their libraries cost nothing at start.
// A module NAME is looked for beside the program (the build folder) and then,
// for an installed copy, in the library folder the install rules put it in.
struct ModuleEntry {
    // The resolved function, or null.
    void (*function)() = nullptr;
    // Without a function: whether a file of that name was there at all, and
    // the loader's own words for the first place tried.
    bool present = false;
    QString error;
};

// Resolves SYMBOL in module NAME; with ONLYPATH set, only that file is tried.
// A module once loaded stays loaded.
ModuleEntry findModuleEntry(const QString &name, const char *symbol, const QString &onlyPath = {});
