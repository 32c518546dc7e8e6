// Loads the picture module beside the tool (or in the installed library folder) the first
// time a command draws.
#pragma once

#include <string>

#include "pictures/picture_module.h"

namespace aerial_tool {

// The module's drawing functions, or nullptr with a one-line reason in error. Safe to call
// from any thread: the module is loaded once (a command may load it on a thread of its own
// while it computes, and ask again when it draws).
const PictureFunctions* loadPictureFunctions(std::string& error);

} // namespace aerial_tool
