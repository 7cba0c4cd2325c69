#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include "sys/win.h"
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

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string* error) {
  const fs::path target = fs::u8path(path);
  fs::path temporary = target;
  temporary += ".vexlo-build-tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      *error = "cannot create " + temporary.u8string() + ": " + std::strerror(errno);
      return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      *error = "cannot write " + temporary.u8string();
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
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
