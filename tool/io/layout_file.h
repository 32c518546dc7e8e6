// A layout file's bytes for the import, mapped into memory rather than copied: the reader
// reads them in place, and pages the read never reaches are never loaded. Only regular
// files of at most kMaxLayoutBytes are opened.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace aerial_tool {

class LayoutFile {
public:
    LayoutFile();
    ~LayoutFile();
    LayoutFile(const LayoutFile&) = delete;
    LayoutFile& operator=(const LayoutFile&) = delete;

    // False with a one-line reason (naming the path) when the file is not a regular file,
    // is larger than the import reads or cannot be mapped.
    bool open(const std::string& path, std::string& error);
    std::string_view bytes() const { return bytes_; }

private:
    struct Mapping;
    std::unique_ptr<Mapping> mapping_;
    std::string_view bytes_;
};

} // namespace aerial_tool
