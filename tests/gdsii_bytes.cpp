#include "gdsii_bytes.h"

#include <cmath>

namespace aerial_test {

namespace {

std::string bigEndian(std::uint64_t value, int bytes) {
    std::string out;
    for (int k = bytes - 1; k >= 0; --k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
    return out;
}

} // namespace

std::string gdsReal(double value) {
    if (value == 0) return std::string(8, '\0');
    const bool negative = value < 0;
    double m = std::fabs(value);
    int exponent = 0;
    while (m >= 1) { m /= 16; ++exponent; }
    while (m < 1.0 / 16) { m *= 16; --exponent; }
    const auto fraction = static_cast<std::uint64_t>(std::llround(std::ldexp(m, 56)));
    std::string out(1, static_cast<char>((negative ? 0x80 : 0) | (exponent + 64)));
    return out + bigEndian(fraction, 7);
}

GdsBytes& GdsBytes::record(int type, int dataType, const std::string& payload) {
    bytes_ += bigEndian(payload.size() + 4, 2);
    bytes_ += static_cast<char>(type);
    bytes_ += static_cast<char>(dataType);
    bytes_ += payload;
    return *this;
}

GdsBytes& GdsBytes::int16s(int type, const std::vector<int>& values) {
    std::string payload;
    for (int v : values) payload += bigEndian(static_cast<std::uint16_t>(v), 2);
    return record(type, 2, payload);
}

GdsBytes& GdsBytes::int32s(int type, const std::vector<std::int32_t>& values) {
    std::string payload;
    for (std::int32_t v : values) payload += bigEndian(static_cast<std::uint32_t>(v), 4);
    return record(type, 3, payload);
}

GdsBytes& GdsBytes::text(int type, const std::string& value) {
    std::string padded = value;
    if (padded.size() % 2) padded += '\0';
    return record(type, 6, padded);
}

GdsBytes& GdsBytes::beginLibrary() {
    int16s(0x00, {600});
    int16s(0x01, std::vector<int>(12, 1));
    text(0x02, "TEST");
    return record(0x03, 5, gdsReal(1e-3) + gdsReal(1e-9));
}

GdsBytes& GdsBytes::endLibrary() { return record(0x04, 0); }

GdsBytes& GdsBytes::beginStructure(const std::string& name) {
    int16s(0x05, std::vector<int>(12, 1));
    return text(0x06, name);
}

GdsBytes& GdsBytes::endStructure() { return record(0x07, 0); }

GdsBytes& GdsBytes::boundary(int layer, const std::vector<std::int32_t>& xy) {
    record(0x08, 0);
    int16s(0x0D, {layer});
    int16s(0x0E, {0});
    std::vector<std::int32_t> closed = xy;
    closed.push_back(xy[0]);
    closed.push_back(xy[1]);
    int32s(0x10, closed);
    return record(0x11, 0);
}

GdsBytes& GdsBytes::rectangle(int layer, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    return boundary(layer, {x0, y0, x1, y0, x1, y1, x0, y1});
}

GdsBytes& GdsBytes::reference(const std::string& name, std::int32_t x, std::int32_t y) {
    record(0x0A, 0);
    text(0x12, name);
    int32s(0x10, {x, y});
    return record(0x11, 0);
}

GdsBytes& GdsBytes::array(const std::string& name, int columns, int rows, std::int32_t pitchX,
                          std::int32_t pitchY) {
    record(0x0B, 0);
    text(0x12, name);
    int16s(0x13, {columns, rows});
    int32s(0x10, {0, 0, columns * pitchX, 0, 0, rows * pitchY});
    return record(0x11, 0);
}

} // namespace aerial_test
