// The --format option of the commands that draw (plot, sweep, window): the format named
// on the command line, with one message for a name that is none.
#pragma once

#include <cstdio>
#include <string>

#include "pictures/picture_format.h"

namespace aerial_tool {

// False with the message printed when the text is not png, svg or pdf.
inline bool pictureFormatOption(const std::string& text, PictureFormat& format) {
    if (parsePictureFormat(text, format)) return true;
    std::fprintf(stderr, "aerial: --format must be png, svg or pdf\n");
    return false;
}

} // namespace aerial_tool
