#include "masks/gdsii_reader.h"

#include <cmath>
#include <cstdio>

namespace aerial_tool {

namespace {

// Record types (the second byte of a record header).
enum Record : int {
    kHeader = 0x00, kBgnLib = 0x01, kLibName = 0x02, kUnits = 0x03, kEndLib = 0x04,
    kBgnStr = 0x05, kStrName = 0x06, kEndStr = 0x07, kBoundary = 0x08, kPath = 0x09,
    kSref = 0x0A, kAref = 0x0B, kText = 0x0C, kLayer = 0x0D, kDatatype = 0x0E, kWidth = 0x0F,
    kXy = 0x10, kEndEl = 0x11, kSname = 0x12, kColRow = 0x13, kNode = 0x15, kStrans = 0x1A,
    kMag = 0x1B, kAngle = 0x1C, kPathtype = 0x21, kBox = 0x2D, kBgnExtn = 0x30, kEndExtn = 0x31,
};

// Data types (the third byte): what a record's body holds.
enum DataType : int { kNoData = 0, kBits = 1, kInt16 = 2, kInt32 = 3, kReal64 = 5, kAscii = 6 };

const char* recordName(int type) {
    switch (type) {
    case kHeader: return "HEADER";
    case kBgnLib: return "BGNLIB";
    case kLibName: return "LIBNAME";
    case kUnits: return "UNITS";
    case kEndLib: return "ENDLIB";
    case kBgnStr: return "BGNSTR";
    case kStrName: return "STRNAME";
    case kEndStr: return "ENDSTR";
    case kBoundary: return "BOUNDARY";
    case kPath: return "PATH";
    case kSref: return "SREF";
    case kAref: return "AREF";
    case kText: return "TEXT";
    case kLayer: return "LAYER";
    case kDatatype: return "DATATYPE";
    case kWidth: return "WIDTH";
    case kXy: return "XY";
    case kEndEl: return "ENDEL";
    case kSname: return "SNAME";
    case kColRow: return "COLROW";
    case kNode: return "NODE";
    case kStrans: return "STRANS";
    case kMag: return "MAG";
    case kAngle: return "ANGLE";
    case kPathtype: return "PATHTYPE";
    case kBox: return "BOX";
    case kBgnExtn: return "BGNEXTN";
    case kEndExtn: return "ENDEXTN";
    default: return nullptr;
    }
}

struct RecordView {
    size_t offset; // of the header
    int type;
    int dataType;
    const unsigned char* data;
    size_t size; // bytes of data after the 4-byte header
};

class Stream {
public:
    explicit Stream(std::string_view bytes)
        : bytes_(reinterpret_cast<const unsigned char*>(bytes.data())), size_(bytes.size()) {}

    // The next record; false with a reason at the end of the bytes or for a bad length.
    bool next(RecordView& record, std::string& error) {
        if (at_ == size_) {
            error = "the file ends at byte " + std::to_string(at_) + " before ENDLIB (truncated?)";
            return false;
        }
        if (size_ - at_ < 4) {
            error = "the file ends at byte " + std::to_string(size_) +
                    " inside a record header (truncated?)";
            return false;
        }
        const size_t length = (size_t{bytes_[at_]} << 8) | bytes_[at_ + 1];
        if (length < 4 || length % 2 != 0) {
            error = "the record at byte " + std::to_string(at_) + " has a length of " +
                    std::to_string(length) + " (a record is at least 4 bytes and even)";
            return false;
        }
        if (length > size_ - at_) {
            error = "the record at byte " + std::to_string(at_) + " is " + std::to_string(length) +
                    " bytes long but only " + std::to_string(size_ - at_) +
                    " bytes are left (truncated?)";
            return false;
        }
        record = {at_, bytes_[at_ + 2], bytes_[at_ + 3], bytes_ + at_ + 4, length - 4};
        at_ += length;
        return true;
    }

private:
    const unsigned char* bytes_;
    size_t size_;
    size_t at_ = 0;
};

std::string where(const RecordView& r) {
    const char* name = recordName(r.type);
    char text[64];
    if (name != nullptr)
        std::snprintf(text, sizeof text, "%s record at byte %zu", name, r.offset);
    else
        std::snprintf(text, sizeof text, "record of type 0x%02X at byte %zu", r.type, r.offset);
    return text;
}

std::int16_t int16At(const unsigned char* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((p[0] << 8) | p[1]));
}

std::int32_t int32At(const unsigned char* p) {
    const std::uint32_t u = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                            (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
    return static_cast<std::int32_t>(u);
}

// Excess-64 base-16 floating point: sign, 7-bit exponent, 56-bit fraction in [1/16, 1).
double real64At(const unsigned char* p) {
    std::uint64_t fraction = 0;
    for (int k = 1; k < 8; ++k) fraction = (fraction << 8) | p[k];
    const int exponent = (p[0] & 0x7F) - 64;
    const double value = std::ldexp(static_cast<double>(fraction), 4 * exponent - 56);
    return (p[0] & 0x80) ? -value : value;
}

// The record's body holds at least count items of the data type.
bool expect(const RecordView& r, int dataType, size_t count, std::string& error) {
    const size_t item = dataType == kAscii                          ? 1
                        : dataType == kInt16 || dataType == kBits ? 2
                        : dataType == kInt32                      ? 4
                                                                  : 8;
    if (r.dataType != dataType || r.size < count * item) {
        error = "the " + where(r) + " does not hold the data its type needs";
        return false;
    }
    return true;
}

// A name: the record's bytes up to its first zero byte (names are padded with zeros to an
// even length).
std::string_view nameIn(const RecordView& r) {
    size_t length = 0;
    while (length < r.size && r.data[length] != 0) ++length;
    return {reinterpret_cast<const char*>(r.data), length};
}

enum class ElementKind { kBoundary, kPath, kReference, kArray, kSkipped };

struct Element {
    ElementKind kind;
    size_t offset;
    bool sawLayer = false, sawXy = false, sawName = false, sawColRow = false;
    GdsShape shape;
    GdsReference reference;
};

bool finishElement(Element& e, GdsStructure& structure, std::string& error) {
    const std::string at = " at byte " + std::to_string(e.offset) + " in structure '" +
                           displayName(structure.name) + "'";
    switch (e.kind) {
    case ElementKind::kSkipped: return true;
    case ElementKind::kBoundary:
    case ElementKind::kPath: {
        const bool path = e.kind == ElementKind::kPath;
        const char* name = path ? "path" : "boundary";
        if (!e.sawLayer || !e.sawXy) {
            error = std::string("the ") + name + at + " has no " + (e.sawLayer ? "XY" : "LAYER");
            return false;
        }
        std::vector<GdsPoint>& p = e.shape.points;
        if (!path && !p.empty() && (p.front().x != p.back().x || p.front().y != p.back().y))
            p.push_back(p.front());
        if (p.size() < (path ? 2u : 4u)) {
            error = std::string("the ") + name + at + " has too few points (" +
                    std::to_string(p.size()) + ")";
            return false;
        }
        e.shape.isPath = path;
        structure.shapes.push_back(std::move(e.shape));
        return true;
    }
    case ElementKind::kReference:
    case ElementKind::kArray: {
        const bool array = e.kind == ElementKind::kArray;
        const char* name = array ? "array reference" : "structure reference";
        if (!e.sawName || !e.sawXy || (array && !e.sawColRow)) {
            error = std::string("the ") + name + at + " has no " +
                    (!e.sawName ? "SNAME" : !e.sawXy ? "XY" : "COLROW");
            return false;
        }
        e.reference.isArray = array;
        structure.references.push_back(std::move(e.reference));
        return true;
    }
    }
    return true;
}

// What the file has asked to store so far, against the limits.
struct Budget {
    const GdsLimits& limits;
    std::size_t elements = 0;
    std::size_t points = 0;
};

std::string overLimit(const RecordView& r, std::size_t limit, const char* what) {
    return "the " + where(r) + " goes beyond " + std::to_string(limit) + " " + what +
           ", more than a clip's file holds (export the clip's cells alone)";
}

// A record inside an element.
bool elementRecord(const RecordView& r, Element& e, Budget& budget, std::string& error) {
    if (e.kind == ElementKind::kSkipped) return true;
    GdsShape& s = e.shape;
    GdsReference& ref = e.reference;
    const bool shape = e.kind == ElementKind::kBoundary || e.kind == ElementKind::kPath;
    switch (r.type) {
    case kLayer:
        if (!shape) return true;
        if (!expect(r, kInt16, 1, error)) return false;
        s.layer = int16At(r.data);
        e.sawLayer = true;
        return true;
    case kDatatype:
        if (!shape) return true;
        if (!expect(r, kInt16, 1, error)) return false;
        s.datatype = int16At(r.data);
        return true;
    case kPathtype:
        if (e.kind != ElementKind::kPath) return true;
        if (!expect(r, kInt16, 1, error)) return false;
        s.pathType = int16At(r.data);
        if (s.pathType != 0 && s.pathType != 1 && s.pathType != 2 && s.pathType != 4) {
            error = "the " + where(r) + " names path type " + std::to_string(s.pathType) +
                    " (0, 1, 2 or 4 are defined)";
            return false;
        }
        return true;
    case kWidth:
    case kBgnExtn:
    case kEndExtn:
        if (e.kind != ElementKind::kPath) return true;
        if (!expect(r, kInt32, 1, error)) return false;
        (r.type == kWidth ? s.width : r.type == kBgnExtn ? s.beginExtension : s.endExtension) =
            int32At(r.data);
        return true;
    case kXy: {
        if (r.dataType != kInt32 || r.size % 8 != 0 || r.size == 0) {
            error = "the " + where(r) + " does not hold whole coordinate pairs";
            return false;
        }
        if (shape) {
            budget.points -= s.points.size(); // a second XY record replaces the first
            if (r.size / 8 > budget.limits.points - budget.points) {
                error = overLimit(r, budget.limits.points, "points in boundaries and paths");
                return false;
            }
            budget.points += r.size / 8;
        }
        std::vector<GdsPoint> points(r.size / 8);
        for (size_t k = 0; k < points.size(); ++k)
            points[k] = {int32At(r.data + 8 * k), int32At(r.data + 8 * k + 4)};
        if (shape) {
            s.points = std::move(points);
        } else {
            const size_t need = e.kind == ElementKind::kArray ? 3 : 1;
            if (points.size() != need) {
                error = "the " + where(r) + " of a reference holds " + std::to_string(points.size()) +
                        " points, not " + std::to_string(need);
                return false;
            }
            ref.origin = points[0];
            if (need == 3) {
                ref.columnEnd = points[1];
                ref.rowEnd = points[2];
            }
        }
        e.sawXy = true;
        return true;
    }
    case kSname:
        if (shape) return true;
        if (r.dataType != kAscii) return expect(r, kAscii, 1, error);
        ref.structure = nameIn(r);
        e.sawName = true;
        return true;
    case kColRow:
        if (e.kind != ElementKind::kArray) return true;
        if (!expect(r, kInt16, 2, error)) return false;
        ref.columns = int16At(r.data);
        ref.rows = int16At(r.data + 2);
        if (ref.columns < 1 || ref.rows < 1) {
            error = "the " + where(r) + " gives " + std::to_string(ref.columns) + " columns and " +
                    std::to_string(ref.rows) + " rows";
            return false;
        }
        e.sawColRow = true;
        return true;
    case kStrans:
        if (shape) return true;
        if (!expect(r, kBits, 1, error)) return false;
        ref.reflected = (r.data[0] & 0x80) != 0;
        if ((r.data[1] & 0x06) != 0) {
            error = "the " + where(r) + " asks for an absolute magnification or angle, "
                    "which this reader does not place";
            return false;
        }
        return true;
    case kMag:
    case kAngle: {
        if (shape) return true;
        if (!expect(r, kReal64, 1, error)) return false;
        const double v = real64At(r.data);
        if (!std::isfinite(v) || (r.type == kMag && !(v > 0)) || std::fabs(v) > 1e9) {
            error = "the " + where(r) + " holds " + std::to_string(v) +
                    (r.type == kMag ? ", not a positive magnification" : ", not an angle");
            return false;
        }
        (r.type == kMag ? ref.magnification : ref.angle) = v;
        return true;
    }
    default:
        return true; // properties, element flags, plex numbers: nothing a mask needs
    }
}

} // namespace

std::string displayName(std::string_view name) {
    std::string s;
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        s += b < 0x20 || b == 0x7F ? '?' : c;
    }
    return s;
}

bool readGdsii(std::string_view bytes, GdsLibrary& library, std::string& error, const GdsLimits& limits) {
    library = GdsLibrary{};
    Stream stream(bytes);
    RecordView r;
    if (!stream.next(r, error)) return false;
    if (r.type != kHeader) {
        error = "not a GDSII stream file: it does not begin with a HEADER record";
        return false;
    }
    bool sawUnits = false;
    Budget budget{limits};
    GdsStructure* structure = nullptr;
    bool inElement = false;
    Element element{};
    while (true) {
        if (!stream.next(r, error)) return false;
        if (inElement) {
            if (r.type == kEndEl) {
                inElement = false;
                if (!finishElement(element, *structure, error)) return false;
                continue;
            }
            if (r.type == kEndStr || r.type == kEndLib || r.type == kBgnStr ||
                (r.type >= kBoundary && r.type <= kText) || r.type == kNode || r.type == kBox) {
                error = "the element at byte " + std::to_string(element.offset) +
                        " has no ENDEL before the " + where(r);
                return false;
            }
            if (!elementRecord(r, element, budget, error)) return false;
            continue;
        }
        switch (r.type) {
        case kUnits:
            if (!expect(r, kReal64, 2, error)) return false;
            library.userUnitsPerDatabaseUnit = real64At(r.data);
            library.metresPerDatabaseUnit = real64At(r.data + 8);
            if (!(library.userUnitsPerDatabaseUnit > 0) || !(library.metresPerDatabaseUnit > 0) ||
                !std::isfinite(library.userUnitsPerDatabaseUnit) ||
                !std::isfinite(library.metresPerDatabaseUnit)) {
                error = "the " + where(r) + " holds no positive sizes of the database unit";
                return false;
            }
            sawUnits = true;
            break;
        case kBgnStr:
            if (structure != nullptr) {
                error = "the " + where(r) + " begins a structure inside structure '" +
                        displayName(structure->name) + "'";
                return false;
            }
            if (!sawUnits) {
                error = "the " + where(r) + " comes before the UNITS record";
                return false;
            }
            if (library.structures.size() == limits.structures) {
                error = overLimit(r, limits.structures, "structures");
                return false;
            }
            library.structures.emplace_back();
            structure = &library.structures.back();
            break;
        case kStrName:
            if (structure == nullptr) {
                error = "the " + where(r) + " is outside a structure";
                return false;
            }
            if (r.dataType != kAscii) return expect(r, kAscii, 1, error);
            structure->name = nameIn(r);
            break;
        case kEndStr:
            if (structure == nullptr) {
                error = "the " + where(r) + " ends no structure";
                return false;
            }
            structure = nullptr;
            break;
        case kBoundary:
        case kPath:
        case kSref:
        case kAref:
        case kText:
        case kNode:
        case kBox:
            if (structure == nullptr) {
                error = "the " + where(r) + " is outside a structure";
                return false;
            }
            element = Element{};
            element.offset = r.offset;
            if (r.type != kText && r.type != kNode && r.type != kBox) { // the others are skipped
                if (budget.elements == limits.elements) {
                    error = overLimit(r, limits.elements, "boundaries, paths and references");
                    return false;
                }
                ++budget.elements;
            }
            element.kind = r.type == kBoundary ? ElementKind::kBoundary
                           : r.type == kPath   ? ElementKind::kPath
                           : r.type == kSref   ? ElementKind::kReference
                           : r.type == kAref   ? ElementKind::kArray
                                               : ElementKind::kSkipped;
            inElement = true;
            break;
        case kEndLib:
            if (structure != nullptr) {
                error = "the " + where(r) + " comes inside structure '" + displayName(structure->name) + "'";
                return false;
            }
            if (!sawUnits) {
                error = "the library has no UNITS record";
                return false;
            }
            return true; // whatever follows (block padding) is not read
        default:
            break; // BGNLIB, LIBNAME, REFLIBS, FONTS, GENERATIONS, FORMAT ...: descriptive
        }
    }
}

} // namespace aerial_tool
