// Temporary directories: the system temporary directory with its fallbacks,
// temporary file names, and the per-run launcher temporary directory that
// receives the included files.
#pragma once
#include <string>

namespace vexlo {

// True when a directory can be created inside `directory` (probed with a
// "vxl_w_testdir" subdirectory that is removed again).
bool IsWritableDir(const std::string& directory);

// The system temporary directory, worked out anew on each call: the system's
// temporary path, or the home directory when there is none; when that path
// has characters outside the ANSI code page, the first writable of a few
// well-known places. Ends the launcher with message 1015 when none is usable.
std::string SystemTempDir();

// A new unique file name in the system temporary directory (prefix "vxl");
// the file normally exists afterwards.
std::string NewTempFileName();

// The process communication file for a process id: vxl_p<id>.tmp in the
// system temporary directory. Every launcher computes the same name.
std::string ProcessCommFileName(unsigned process_id);

// The launcher temporary directory of this run; empty until it is created.
std::string& LauncherTempDir();

// Creates the launcher temporary directory beside a new temporary file
// (<file>_dir<seconds>); ends the launcher with internal error 7 after ten
// failed attempts.
void CreateLauncherTempDir();

// Removes the files of a directory and, with `descend`, the files of its
// immediate subdirectories and those subdirectories. Links and junctions are
// removed as links, never emptied. An empty path, or one starting with "."
// (a relative current-directory path), is never touched.
void EmptyDirectory(const std::string& path, bool descend);

// Empties and removes the launcher temporary directory when this run created
// one; failures are ignored. Relative paths are never removed.
void RemoveLauncherTempDir();

}  // namespace vexlo
