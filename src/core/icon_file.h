// Icon files (.ico) and the icon resources made of them: each image of the
// file becomes an RT_ICON resource, and an RT_GROUP_ICON resource lists them
// with their sizes, as a resource compiler writes them. Images are kept as
// they are: bitmaps and PNG-compressed images alike.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vexlo {

struct IconImage {
  uint8_t width = 0;   // 0 stands for 256
  uint8_t height = 0;  // 0 stands for 256
  uint8_t colors = 0;
  uint8_t reserved = 0;
  uint16_t planes = 0;
  uint16_t bit_count = 0;
  std::string data;  // a DIB (BITMAPINFOHEADER, colours, masks) or a PNG file
  bool operator==(const IconImage& other) const;
};

// Reads an .ico file, every bound checked. False with *error saying what is
// wrong ("not an icon file (a cursor)", "image 2 extends past the end of the
// file") when it is damaged or of a kind Windows does not show as an icon.
bool ParseIconFile(const std::string& bytes, std::vector<IconImage>* images, std::string* error);

// The .ico file of the images, in order, data following the directory.
std::string IconFileBytes(const std::vector<IconImage>& images);

// The RT_GROUP_ICON resource for the images, whose RT_ICON resources have
// the ids first_id, first_id + 1, ...
std::string IconGroupBytes(const std::vector<IconImage>& images, uint16_t first_id);

// An icon group's entries: each image's header fields (data left empty) and
// the id of its RT_ICON resource. False when the group is damaged.
bool ParseIconGroup(const std::string& group, std::vector<IconImage>* images, std::vector<uint16_t>* ids);

}  // namespace vexlo
