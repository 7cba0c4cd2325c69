#include "sys/code_pages.h"

namespace vexlo {

bool CodePageRejectsDefaultChar(unsigned code_page) {
  switch (code_page) {
    case 42:     // symbol
    case 50220:  // ISO-2022 Japanese
    case 50221:
    case 50222:
    case 50225:  // ISO-2022 Korean
    case 50227:  // ISO-2022 Simplified Chinese
    case 50229:  // ISO-2022 Traditional Chinese
    case 54936:  // GB18030
    case 65000:  // UTF-7
    case 65001:  // UTF-8
      return true;
    default:
      return code_page >= 57002 && code_page <= 57011;  // ISCII
  }
}

}  // namespace vexlo
