// The system's words for why a file cannot be read or written, for messages that name the file.
#pragma once

#include <string>

namespace aerial_tool {

// Why the file at path cannot be opened for reading, as the system says it ("No such file
// or directory", "Permission denied", "Is a directory"); empty when it can be.
std::string unreadableReason(const std::string& path);

// "not a readable file (REASON)", the reason left out when the system gives none (the file
// opens but its contents cannot be read as asked).
std::string notReadable(const std::string& path);

// Why a file cannot be created or replaced at path, as the system says it ("No such file or
// directory" for a missing folder, "Permission denied", "Is a directory"), probed after a writer
// failed without saying why; empty when the path can be written (the writer failed otherwise:
// a full disk, a drawing library's own fault).
std::string unwritableReason(const std::string& path);

// "cannot write: REASON", with `otherwise` as the reason when the system gives none.
std::string notWritable(const std::string& path, const std::string& otherwise = "the write failed");

} // namespace aerial_tool
