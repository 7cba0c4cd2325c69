#include "coord/instance_name.h"

#include "sys/name_digest.h"

namespace vexlo {

std::string InstanceNameBase(bool global, const std::string& normalised_path, size_t reserved) {
  const std::string prefix = global ? "Global\\" : "Local\\";
  std::string path = normalised_path;
  for (char& c : path) {
    if (c == '\\' || c == ' ') c = '_';
  }
  const size_t room = kMaxObjectNameLength - (reserved < kMaxObjectNameLength ? reserved : kMaxObjectNameLength);
  if (prefix.size() + path.size() <= room) return prefix + path;

  const std::string middle = "~" + NameDigest(normalised_path) + "~";
  const size_t fixed = prefix.size() + middle.size();
  const size_t keep = room > fixed ? room - fixed : 0;
  // The end of the path names the executable: it gets the larger half.
  const size_t head = keep / 2, tail = keep - head;
  return prefix + path.substr(0, head) + middle + path.substr(path.size() - tail);
}

InstanceSemaphore JudgeInstanceSemaphore(unsigned long create_error, unsigned long open_error) {
  if (create_error == kErrorAlreadyExists) return InstanceSemaphore::kOtherInstance;
  if (create_error == kErrorAccessDenied) {
    return open_error == kErrorFileNotFound ? InstanceSemaphore::kUnavailable : InstanceSemaphore::kOtherInstance;
  }
  return create_error == 0 ? InstanceSemaphore::kOurs : InstanceSemaphore::kUnavailable;
}

}  // namespace vexlo
