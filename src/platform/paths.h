#pragma once
// File-system stand-ins: program and data directories, free disk space, joins.
#include <cstdint>
#include <string>

// Directory that holds the running program (from /proc/self/exe).
std::string Platform_ProgramDirectory();

// Directory of settings, signals lists, antennas and colour profiles. Defaults
// to the program directory; FIELDTRACE_DATA_DIR or Platform_SetDataDirectory
// override it so that tests and the demo never touch a user's files.
std::string Platform_DataDirectory();
void Platform_SetDataDirectory(const std::string& directory);

// Free bytes for an unprivileged user on the file system holding path; -1 on failure.
std::int64_t Platform_FreeDiskBytes(const std::string& path);

// "%s/%s": the one way paths are joined.
std::string Platform_JoinPath(const std::string& directory, const std::string& name);

// Renames a completely written temporary file over path in one step, so a
// reader sees either the old or the new file, never a half-written one. On
// failure the temporary file is removed and the old file stays as it was.
bool Platform_ReplaceFile(const std::string& path, const std::string& temporaryPath);
