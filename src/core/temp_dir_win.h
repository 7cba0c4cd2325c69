// Temporary directories: the system temporary directory with its fallbacks,
// temporary file names, and the per-run launcher temporary directory that
// receives the included files.
//
// The launcher temporary directory is a new folder in the system temporary
// directory named
//   vxl<16 hexadecimal digits, 0-9 and A-F>.tmp_dir
// for example C:\Windows\Temp\vxl5F3A9C01D2E4B7A8.tmp_dir: the digits come
// from the system's random source, so nobody can guess the name ahead of a
// start. (Launchers before these names used vxl<4 digits>.tmp_dir<seconds>
// beside a vxl<4 digits>.tmp file; "vxl*.tmp_dir*" matches both.) Its owner
// holds the lock file kLockFileName in it open for as long as it runs. The
// launcher empties and removes folders it created itself in this run, and
// stale folders of its own kind: named as it names them, holding a lock file
// nobody holds; it never follows a link or junction.
#pragma once
#include <string>

#include "sys/handle_win.h"

namespace vexlo {

// True when a directory can be created inside `directory` (probed with a
// "vxl_w_testdir" subdirectory that is removed again).
bool IsWritableDir(const std::string& directory);

// The system temporary directory, worked out anew on each call: the system's
// temporary path, or the home directory when there is none; when that path
// has characters outside the ANSI code page, the first writable of a few
// well-known places. Ends the launcher with message 1015 when none is usable.
std::string SystemTempDir();
// The same without the end: empty when none is usable.
std::string UsableSystemTempDir();

// A new unique file name in the system temporary directory (prefix "vxl");
// the file normally exists afterwards.
std::string NewTempFileName();

// The process communication file for a process id: vxl_p<id>.tmp in the
// system temporary directory. Every launcher computes the same name.
std::string ProcessCommFileName(unsigned process_id);

// The launcher temporary directory of this run; empty until it is created.
std::string& LauncherTempDir();

// A new random launcher folder path in `directory`; empty when the random
// source fails or `directory` is empty.
std::string NewLauncherFolderPath(const std::string& directory);

// The service process chooses its child's folder, so that it can remove it
// once the child has ended, and names it in this variable of the child's
// environment.
constexpr char kChosenTempDirVariable[] = "VEXLO_SERVICE_TEMP_DIR";
// The chosen path; empty when there is none.
std::string& ChosenLauncherTempDir();
// Reads the variable and removes it, so that the application's processes do
// not inherit it; only a service's child takes the path.
void TakeChosenLauncherTempDir(bool service_child);

// Creates the launcher temporary directory and its lock file in
// `system_temp_dir` (UsableSystemTempDir; empty: message 1015), at the chosen
// path when it is a launcher folder name there, otherwise under a new random
// name. A name that is taken (by a file, a
// folder or a link) is never used: the next random name is tried; after ten
// taken names the launcher ends with message 1015 without touching anything.
void CreateLauncherTempDir(const std::string& system_temp_dir);

// The security of the launcher's folders: full control for SYSTEM, the
// Administrators and the user of this process; every ACE is inherited by the
// files and folders created inside, and the DACL is protected, so nothing
// comes from the parent (in C:\Windows\Temp that would let every user add
// files).
class PrivateSecurity {
 public:
  // False (with the system error set) when it cannot be built.
  bool Build();
  SECURITY_DESCRIPTOR* Descriptor() { return &descriptor_; }

 private:
  SECURITY_DESCRIPTOR descriptor_;
  // The ACL header and three ACEs of at most the largest SID each.
  DWORD acl_[(sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)) / sizeof(DWORD)];
};

// Creates a new folder with PrivateSecurity and records it as created by this
// run. Returns 0, or the system error: anything already at `path` is an
// error.
unsigned long CreatePrivateFolder(const std::string& path);

// True when this run created a folder at `path` (compared as Windows does).
bool CreatedByThisRun(const char* path);

// Opens a folder this run created; an invalid handle when `path` does not
// name that very folder any more (a link, a junction or another folder). The
// handle may list the folder and shares neither the right to delete nor to
// rename: while it lives, the name keeps leading to this folder. `access`
// adds rights (DELETE to remove it through the handle).
UniqueFile OpenCreatedFolder(const char* path, unsigned long access = FILE_LIST_DIRECTORY);

// Empties a folder held through OpenCreatedFolder: deletes its files and,
// with `descend`, empties and removes the folders this run created in it
// (each checked the same way before it is entered, and removed through a
// handle checked to be that folder). Links, junctions and folders this run
// did not create are left as they are. Allocates nothing, so the exit after
// a failed allocation can run it.
void EmptyDirectory(const std::string& path, bool descend);

// Empties and removes the launcher temporary directory when this run created
// one and it is still that folder; failures are ignored. Allocates nothing.
void RemoveLauncherTempDir();

enum class FolderRemoval {
  kRemoved,
  kAbsent,        // nothing at the path
  kInUse,         // its owner runs (or another clean-up is at work)
  kNotLaunchers,  // a link, not a folder, not named like ours, or no lock file
  kFailed,        // something in it could not be deleted: its lock file stays,
                  // so the next clean-up tries again
};
// Removes a launcher folder whose owner has ended: named as the launcher
// names them, a folder and not a link, with a lock file (not a link either)
// that can be opened for deletion. Its contents go first, sub-folders one
// level deep, links only as links; the lock file and the folder last. *error
// is the system's reason for kInUse and kFailed.
FolderRemoval RemoveStaleLauncherFolder(const std::string& path, unsigned long* error);

// RemoveStaleLauncherFolder for every launcher folder in `system_temp_dir`
// (none when it is empty): what owners that ended (a child started by hand,
// one whose service process died) left behind.
void RemoveStaleLauncherFolders(const std::string& system_temp_dir);

}  // namespace vexlo
