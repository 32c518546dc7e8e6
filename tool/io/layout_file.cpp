#include "io/layout_file.h"

#include <filesystem>

#include <boost/interprocess/exceptions.hpp>
#include <boost/interprocess/file_mapping.hpp>
#include <boost/interprocess/mapped_region.hpp>

#include "io/file_reason.h"
#include "masks/gdsii_reader.h"

namespace aerial_tool {

namespace bip = boost::interprocess;

struct LayoutFile::Mapping {
    bip::file_mapping file;
    bip::mapped_region region;
};

LayoutFile::LayoutFile() = default;
LayoutFile::~LayoutFile() = default;

bool LayoutFile::open(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::uintmax_t size = fs::is_regular_file(path, ec) ? fs::file_size(path, ec) : 0;
    if (ec || !fs::is_regular_file(path, ec)) {
        const std::string reason = unreadableReason(path);
        error = "cannot read the layout file " + path + (reason.empty() ? "" : " (" + reason + ")");
        return false;
    }
    if (size > kMaxLayoutBytes) {
        error = "the layout file " + path + " is over 512 MiB; export the clip's cells alone";
        return false;
    }
    bytes_ = {};
    if (size == 0) return true; // nothing to map; the reader says the file is empty
    try {
        mapping_ = std::make_unique<Mapping>();
        mapping_->file = bip::file_mapping(path.c_str(), bip::read_only);
        mapping_->region = bip::mapped_region(mapping_->file, bip::read_only);
    } catch (const bip::interprocess_exception& e) {
        mapping_.reset();
        error = "cannot read the layout file " + path + " (" + e.what() + ")";
        return false;
    }
    bytes_ = {static_cast<const char*>(mapping_->region.get_address()), mapping_->region.get_size()};
    return true;
}

} // namespace aerial_tool
