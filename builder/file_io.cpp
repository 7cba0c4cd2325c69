#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include "sys/win.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vexlo {
namespace builder {

namespace fs = std::filesystem;

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  std::error_code code;
  const fs::path file = fs::u8path(path);
  if (fs::is_directory(file, code)) {
    *error = "is a directory";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = std::strerror(errno);
    return false;
  }
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *error = "read failed";
    return false;
  }
  bytes->swap(content);
  return true;
}

namespace {

// A file of its own beside the target, created exclusively under a name with
// the process id and a counter: a second build writing the same output at the
// same time gets another one, so neither renames the other's half-written file.
int CreateTemporaryBeside(const fs::path& target, fs::path* temporary, int* error) {
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    *temporary = target;
    *temporary += "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".vexlo-build-tmp";
#ifdef _WIN32
    const int fd = _wopen(temporary->c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    const int fd = open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
    if (fd >= 0) return fd;
    *error = errno;
    if (errno != EEXIST) return -1;
  }
  return -1;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    const size_t chunk = std::min<size_t>(bytes.size() - written, 1 << 30);
    const auto count = write(fd, bytes.data() + written, static_cast<unsigned>(chunk));
    if (count <= 0) return false;
    written += static_cast<size_t>(count);
  }
  return true;
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string* error) {
  const fs::path target = fs::u8path(path);
  fs::path temporary;
  int create_error = 0;
  const int fd = CreateTemporaryBeside(target, &temporary, &create_error);
  if (fd < 0) {
    *error = "cannot create " + temporary.u8string() + ": " + std::strerror(create_error);
    return false;
  }
  const bool written = WriteAll(fd, bytes);
  if (close(fd) != 0 || !written) {
    *error = "cannot write " + temporary.u8string();
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
  }
  std::error_code code;
  fs::rename(temporary, target, code);
  if (code) {
    *error = "cannot replace " + path + ": " + code.message();
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
  }
  return true;
}

std::string OwnExecutablePath() {
#ifdef _WIN32
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      path.resize(length);
      return fs::path(path).u8string();
    }
    path.resize(path.size() * 2);
  }
#else
  std::error_code code;
  const fs::path path = fs::read_symlink("/proc/self/exe", code);
  return code ? std::string() : path.u8string();
#endif
}

}  // namespace builder
}  // namespace vexlo
