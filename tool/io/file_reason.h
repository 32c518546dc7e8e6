// The system's words for why a file cannot be read, for messages that name the file.
#pragma once

#include <string>

namespace aerial_tool {

// Why the file at path cannot be opened for reading, as the system says it ("No such file
// or directory", "Permission denied", "Is a directory"); empty when it can be.
std::string unreadableReason(const std::string& path);

// "not a readable file (REASON)", the reason left out when the system gives none (the file
// opens but its contents cannot be read as asked).
std::string notReadable(const std::string& path);

} // namespace aerial_tool
