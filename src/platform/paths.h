#pragma once
// File-system stand-ins: program and data directories, free disk space, joins.
#include <cstdint>
#include <string>

// Directory that holds the running program (from /proc/self/exe).
std::string Platform_ProgramDirectory();

// Directory of settings, signals lists, antennas and colour profiles:
// Platform_SetDataDirectory's or FIELDTRACE_DATA_DIR when set (so that tests
// and the demo never touch a user's files); else the program directory when
// the user may write it (a portable copy); else $XDG_DATA_HOME/fieldtrace,
// by default ~/.local/share/fieldtrace (an installed program).
std::string Platform_DataDirectory();
void Platform_SetDataDirectory(const std::string& directory);
// The default directory for drive-test results: the data directory, except
// for an installed program, whose results go to ~/Fieldtrace rather than
// into a hidden settings folder.
std::string Platform_OutputDirectory();
// The same two decisions for a given program directory.
std::string Platform_DataDirectoryFor(const std::string& programDirectory);
std::string Platform_OutputDirectoryFor(const std::string& programDirectory);

// Makes directory and its missing parents (mode 0700 under the umask). True
// when it is a directory afterwards; else false with errno set.
bool Platform_MakeDirectory(const std::string& directory);

// Free bytes for an unprivileged user on the file system holding path; -1 on failure.
std::int64_t Platform_FreeDiskBytes(const std::string& path);

// "%s/%s": the one way paths are joined.
std::string Platform_JoinPath(const std::string& directory, const std::string& name);
// The folder holding path: "." for a bare name, "/" for a file in the root.
std::string Platform_DirectoryOf(const std::string& path);
// Whether a new file can be made in directory, found by making (and removing)
// an empty one: access() says yes to root for any folder, also where the file
// system refuses every new file (/proc).
bool Platform_CanCreateFileIn(const std::string& directory);

// Renames a completely written temporary file over path in one step, so a
// reader sees either the old or the new file, never a half-written one. On
// failure the temporary file is removed and the old file stays as it was.
bool Platform_ReplaceFile(const std::string& path, const std::string& temporaryPath);

// The name under which a file is written before it takes its own name:
// "dir/name.partial-<pid>.ext" beside "dir/name.ext", so that a reader never
// sees a half-written file and two programs never share one.
std::string Platform_TemporaryNameBeside(const std::string& path);

// Whether a new file may be written at path: not a directory, not existing
// (unless overwrite), in a folder that exists and is writable. False with a
// one-line error naming what is wrong.
bool Platform_CheckNewFile(const std::string& path, bool overwrite, std::string& error);
