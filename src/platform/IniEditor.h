#pragma once
// A minimal editor for ini files of other programs: it changes the value of
// one key in one section and leaves every other byte of the file as it was
// (line endings, byte order mark, comments, spacing, escapes). Rewriting the
// file through a settings library would normalise and re-escape it.
//
// Rules: a section header is a line "[name]" (blanks around allowed); names
// are compared exactly and may contain "/". The lines before the first
// header form the section with the empty name. A key line is "key=value"
// with blanks allowed around "="; keys compare without regard to ASCII case.
// Lines starting with ";" or "#" are comments. Text is UTF-8. When a key
// occurs more than once, the first occurrence counts.

#include <QString>

namespace tarn::platform {

// Sets key to value in section: replaces the value of the existing key in
// place, or adds "key=value" after the section's last non-blank line, or
// adds the section with the key at the end of the file (creating the file
// if needed). The file is replaced atomically, so a failure leaves it as it
// was. False on failure, on a section, key or value that cannot be stored
// on one line, and on files over 16 MiB.
bool WriteIniValue(const QString& path, const QString& section, const QString& key,
                   const QString& value);

// The value of key in section with surrounding blanks and one pair of
// enclosing quotes removed, or defaultValue when the file, the section or
// the key is missing.
QString ReadIniValue(const QString& path, const QString& section, const QString& key,
                     const QString& defaultValue = {});

} // namespace tarn::platform
