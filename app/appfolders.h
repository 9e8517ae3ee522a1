#pragma once

#include <QString>

// The folder for the settings file and the tally file: the program's own
// folder when it is writable, else the per-user configuration folder (an
// installed copy), created if needed.
QString settingsFolder();

// The rule behind settingsFolder(), for any preferred folder.
QString writableFolderOr(const QString &preferred);

// The folder for the tally file: the program's own folder when it is
// writable, else the per-user data folder (~/.local/share/sudoku), created if
// needed.
QString tallyFolder();

// The rule behind tallyFolder(): a tally that an earlier copy left in the
// configuration folder is moved into the data folder once, unless one is
// already there.
QString tallyFolderFor(const QString &preferred, const QString &configFolder, const QString &dataFolder);

// The settings file's full path in settingsFolder().
QString settingsFilePath();

// Removes the temporary files that saves of the settings file and the tally
// file left in folder when they were killed half way.
void removeLeftoverSaveFiles(const QString &folder);

// What a failed save was meant to write.
enum class SaveFailure { Settings, Tally };

// The chat line that tells the player a save failed: what, where, and that
// nothing of this run is lost yet.
QString saveFailureLine(SaveFailure what, const QString &path);
