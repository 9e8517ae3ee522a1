#pragma once

#include <QFile>
#include <QString>

// Opens the tally and the settings file for reading. Only a regular file (or
// a link to one) is opened: a FIFO or a device named like our file is left
// alone, since reading it could wait for ever.
enum class RegularFileOpen { Opened, Missing, NotRegular, Failed };
RegularFileOpen openRegularFile(QFile &file, const QString &path);
