#include "payload/included_files_win.h"

#include <string>
#include <vector>

#include "core/config.h"
#include "core/config_win.h"
#include "core/errors_win.h"
#include "core/included_file_name.h"
#include "core/log_win.h"
#include "core/process_state.h"
#include "core/temp_dir_win.h"
#include "payload/included_files.h"
#include "sys/handle_win.h"

namespace vexlo {
namespace {

bool FileWrite(void* context, const void* data, uint32_t size, uint32_t* written,
               uint32_t* system_error) {
  DWORD count = 0;
  const BOOL ok = WriteFile(static_cast<HANDLE>(context), data, size, &count, nullptr);
  *written = count;
  *system_error = ok ? 0 : GetLastError();
  return ok != 0;
}

// Every name that will be extracted is checked before anything is created, so
// a hostile block leaves no trace at all.
void RefuseBadNames(const std::vector<std::string>& names, size_t count) {
  for (size_t i = 0; i < names.size() && i < count; ++i) {
    const IncludedNameProblem problem = CheckIncludedFileName(names[i]);
    if (RefusedAtExtraction(problem)) {
      LogErrorLine("refusing included file name \"%s\": %s", names[i].c_str(),
                   IncludedNameProblemText(problem));
      FatalInternalError("11");
    }
  }
}

}  // namespace

int ExtractIncludedFiles() {
  // What ended launchers left (a child started by hand, one whose service
  // process died), whether or not this one extracts anything. The temporary
  // folder is looked up once for both.
  const std::string system_temp_dir = UsableSystemTempDir();
  RemoveStaleLauncherFolders(system_temp_dir);
  LogLine("extracting files");
  const int32_t count = ConfigInteger(record::kIncludedFileCount);
  LogLine("Included files: %d", count);
  if (count == 0) return 0;
  const std::vector<std::string> names =
      SplitIncludedFileNames(ConfigText(record::kIncludedFileNames));
  const size_t wanted = count > 0 ? static_cast<size_t>(count) : 0;
  RefuseBadNames(names, wanted);
  CreateLauncherTempDir(system_temp_dir);
  return WriteIncludedFiles(names, wanted);
}

int WriteIncludedFiles(const std::vector<std::string>& names, size_t wanted) {
  const std::string& directory = LauncherTempDir();
  UniqueFile executable = OpenOwnExecutable();
  BlockStream stream{FileSource(executable.get()), LogLine};
  if (!stream.source.seek(stream.source.context, BlockEndPosition())) {
    LogErrorLine("cannot seek to the included files (%d)", static_cast<int>(GetLastError()));
    return kCopyReadFailed;
  }

  for (size_t i = 0; i < names.size() && i < wanted; ++i) {
    const std::string& name = names[i];
    const size_t backslash = name.find('\\');
    if (backslash != std::string::npos) {
      // Made here or not at all: a folder someone else put at the name could
      // hold anything, including a link to elsewhere.
      const std::string subdirectory = directory + "\\" + name.substr(0, backslash);
      if (!CreatedByThisRun(subdirectory.c_str())) {
        LogLine("creating directory %s", subdirectory.c_str());
        if (CreatePrivateFolder(subdirectory) != 0) {
          LogErrorLine("failed to create directory %s", subdirectory.c_str());
          FatalInternalError("11");
        }
      }
    }
    const std::string target = directory + "\\" + name;
    int64_t size = 0;
    if (!ReadInt64(stream, &size)) FatalText(BlockErrorText(stream.error));
    LogLine("extracting %s (size: %I64d)", target.c_str(), static_cast<long long>(size));
    if (size <= 0) continue;

    // A new file or none: one that is there already (someone else's, or a
    // link) is never written through.
    UniqueFile file(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file) {
      LogErrorLine("could not create %s (%d)", target.c_str(), static_cast<int>(GetLastError()));
      FatalInternalError("11");
    }
    const int result = CopyDescrambled(stream.source, ByteSink{file.get(), FileWrite}, size, LogErrorLine);
    if (result != kCopyDone) {
      LogErrorLine("Failed to extract %s", target.c_str());
      // Closed and deleted here: an open file would keep the exit routine
      // from removing it and the directory around it.
      file.reset();
      DeleteFileA(target.c_str());
      return result;
    }
    ExtractedFileNames().push_back(std::string(name));  // the one instantiation other code uses
  }
  ExtractionEndPosition() =
      static_cast<uint32_t>(stream.source.position(stream.source.context));
  executable.reset();
  LogLine("extracting files done");
  return 0;
}

}  // namespace vexlo
