// UTF-16 text from the platform (adapter descriptions) to the UTF-8 the
// library produces, through WideCharToMultiByte(CP_UTF8) in two passes.
#pragma once

#include <string>

#include "platform/platform.h"

namespace mrv {

// Empty when the input is empty or the platform converts it to nothing.
std::string wide_to_utf8(Platform& platform, const std::u16string& wide);

}  // namespace mrv
