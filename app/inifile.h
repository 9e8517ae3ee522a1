#pragma once

#ifndef SI_NO_CONVERSION
#define SI_NO_CONVERSION
#endif
#include <SimpleIni.h>

#include <QString>

#include <functional>
#include <optional>

// The shared settings file: read whole, changed in memory, replaced whole.
namespace IniFile {

enum class ReadResult { Missing, Read, Unreadable };

// Fills the ini from the file. A missing file leaves it empty; only a
// regular file is read.
ReadResult read(CSimpleIniA &ini, const QString &path);

// Reads the file's bytes (only a regular file is read).
ReadResult readBytes(const QString &path, QByteArray &data);

// Fills the ini from the file's text; false when it cannot be read.
bool parse(CSimpleIniA &ini, const QByteArray &text);

// The file's text after the caller set its keys, or nothing when the text
// cannot be read. rewrite() without the file.
std::optional<QByteArray> rewriteText(const QByteArray &text, const std::function<void(CSimpleIniA &)> &setKeys);

// Reads the file (if any), lets the caller set its keys and replaces the file
// atomically; the other sections and keys pass through untouched. A file
// that exists but cannot be read is never overwritten. False on any failure,
// and the old file is then left as it was.
bool rewrite(const QString &path, const std::function<void(CSimpleIniA &)> &setKeys);

} // namespace IniFile
