#pragma once
// Reading one value from an INI-format file, with the same rules on every
// platform, close to those of the Windows profile functions:
// - section and key names are matched without regard to the letter case of
//   a to z, and blanks around them are ignored ("[ Main ]", " Debug = x");
// - the value is the text after the first '=', without the blanks (spaces
//   and tabs) at its two ends, and without one pair of double or single
//   quotes around it; a blank inside the quotes stays;
// - lines end at CR, LF or CR LF; a UTF-8 byte order mark is skipped; blank
//   lines, lines starting with ';' and lines without '=' are ignored; text
//   after a value is part of it (there are no comments at a line's end);
// - the first matching key of the first matching section wins (later sections
//   of the same name are looked at too).

#include <string>

// The value of key in section of the file at path, or defaultValue when the
// file cannot be read (missing, a directory, over 1 MiB), or has no such
// section or key. An empty value ("Debug=") is returned as empty.
std::string ReadIniString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& defaultValue);
