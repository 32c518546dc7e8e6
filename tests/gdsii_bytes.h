// GDSII stream bytes built record by record, for layouts no writer would make: loops,
// huge arrays, cut records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace aerial_test {

class GdsBytes {
public:
    GdsBytes& record(int type, int dataType, const std::string& payload = "");
    GdsBytes& int16s(int type, const std::vector<int>& values);
    GdsBytes& int32s(int type, const std::vector<std::int32_t>& values);
    GdsBytes& text(int type, const std::string& value);

    // HEADER, BGNLIB, LIBNAME and UNITS of a library in um with a 1 nm database unit.
    GdsBytes& beginLibrary();
    GdsBytes& endLibrary();
    GdsBytes& beginStructure(const std::string& name);
    GdsBytes& endStructure();
    GdsBytes& boundary(int layer, const std::vector<std::int32_t>& xy); // xy pairs, closed by the writer
    GdsBytes& rectangle(int layer, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
    GdsBytes& reference(const std::string& name, std::int32_t x, std::int32_t y);
    GdsBytes& array(const std::string& name, int columns, int rows, std::int32_t pitchX, std::int32_t pitchY);

    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// The eight bytes of a GDSII real (excess-64, base 16).
std::string gdsReal(double value);

} // namespace aerial_test
