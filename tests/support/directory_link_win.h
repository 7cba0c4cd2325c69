// Directory links for tests of code that must not follow them.
#pragma once
#include <string>

namespace vexlo {
namespace testing_support {

// Makes `link` a symbolic link to the directory `target`; true when `link`
// then is a directory with FILE_ATTRIBUTE_REPARSE_POINT. On Windows this is
// CreateSymbolicLink (administrators or developer mode). Wine 8 has no
// Windows-side links: CreateSymbolicLinkW returns TRUE and creates nothing,
// FSCTL_SET_REPARSE_POINT fails with ERROR_NOT_SUPPORTED. It shows a Unix
// symbolic link to a directory as a directory with the reparse-point
// attribute, so there the link is made by "ln -s" through Wine's ntdll.
bool CreateDirectoryLink(const std::string& link, const std::string& target);

// Removes such a link, never what it points to. (Under Wine, RemoveDirectory
// and DeleteFile on a Unix link act on its target: the link is removed by
// "rm" through Wine's ntdll.)
void RemoveDirectoryLink(const std::string& link);

}  // namespace testing_support
}  // namespace vexlo
