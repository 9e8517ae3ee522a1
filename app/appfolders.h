#pragma once

#include <QString>

// The folder for the settings file and the tally file: the program's own
// folder when it is writable, else the per-user configuration folder (an
// installed copy), created if needed.
QString settingsFolder();

// The rule behind settingsFolder(), for any preferred folder.
QString writableFolderOr(const QString &preferred);

// The settings file's full path in settingsFolder().
QString settingsFilePath();
