#pragma once
// The settings store of POSIX systems: one text file in the format of REGEDIT4
// exports (registry_text.h), implemented by registry_file_posix.cpp.
//
// Saving never loses what the file holds. A key opened with creation collects
// its writes; Commit takes the lock file beside the settings file
// ("user.reg.lock"), reads the file again, changes only this key's values
// written since the last Commit, writes the whole text to "user.reg.tmp",
// flushes it to the disk, renames it over the old file and flushes the folder
// (ReplaceFileWhole of system_io.h, the tool's own writer). Another key of the
// file (the port map) and a second running copy of the program keep their
// values, and a crash at any moment leaves the old file or the new one whole.
// Reads take the same lock, so each opening sees one whole save.
//
// A file that cannot be understood raises ESettingsFileError on opening and
// on Commit, and is never overwritten.

#include <memory>
#include <string>

#include "support/registry_key.h"

// $XDG_CONFIG_HOME/NolvarGSM/user.reg, or ~/.config/NolvarGSM/user.reg when
// XDG_CONFIG_HOME is not set to an absolute path; looked up anew on each call.
std::string DefaultRegistryFilePath();

// A store over the file at path; an empty path stands for
// DefaultRegistryFilePath() as it is at each opening.
std::unique_ptr<RegistryStore> MakeRegistryFileStore(std::string path);
