// The engine's C API (aerial/engine.h) over its C++ API: every exception stops here and
// becomes a status and the handle's error text.
#include "aerial/engine.h"

#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "aerial/engine.hpp"
#include "input/input_layout.h"
#include "input/parse_input.h"

struct aerial_simulation {
    aerial::Simulation simulation;
    aerial::InputValues input{};
    aerial::SimulationResult result;
    std::string error;
};

namespace {

aerial_status fail(aerial_simulation* s, aerial_status status, const std::string& message) {
    try {
        s->error = message;
    } catch (...) {
        s->error.clear();
    }
    return status;
}

// Runs body, turning every exception into a status.
template <class Body>
aerial_status guarded(aerial_simulation* s, Body body) {
    if (s == nullptr) return AERIAL_INVALID_ARGUMENT;
    try {
        s->error.clear();
        body();
        return AERIAL_OK;
    } catch (const aerial::Error& e) {
        return fail(s, static_cast<aerial_status>(e.status()), e.what());
    } catch (const std::bad_alloc&) {
        return fail(s, AERIAL_OUT_OF_MEMORY, "out of memory");
    } catch (const std::exception& e) {
        return fail(s, AERIAL_INVALID_ARGUMENT, e.what());
    } catch (...) {
        return fail(s, AERIAL_INVALID_ARGUMENT, "unexpected failure");
    }
}

const aerial::ParameterCell* namedParameter(const char* name) {
    if (name == nullptr) throw aerial::Error(aerial::Status::kInvalidArgument, "no parameter name");
    const aerial::ParameterCell* cell = aerial::findParameter(name);
    if (cell == nullptr) {
        std::string names;
        for (const aerial::ParameterCell& p : aerial::kParameterCells) names += std::string(names.empty() ? "" : ", ") + p.name;
        throw aerial::Error(aerial::Status::kInvalidArgument,
                            std::string("no parameter is named '") + name + "'; the names are " + names);
    }
    return cell;
}

// A C caller may pass any int where the API names an enumeration: C++ may assume no value
// beyond the enumerators' bits, so the value is taken from the argument's bytes.
template <class Enumeration>
int passedValue(const Enumeration& e) {
    static_assert(sizeof(Enumeration) == sizeof(int), "the C enumerations are int-sized");
    int value;
    std::memcpy(&value, &e, sizeof value);
    return value;
}

bool isTable(const aerial_table& table) {
    const int t = passedValue(table);
    return t == AERIAL_SPECTRUM_AMPLITUDE || t == AERIAL_SPECTRUM_PHASE || t == AERIAL_IMAGE_INTENSITY;
}

aerial::Table tableOf(const aerial_table& table) {
    switch (passedValue(table)) {
    case AERIAL_SPECTRUM_AMPLITUDE: return aerial::Table::kSpectrumAmplitude;
    case AERIAL_SPECTRUM_PHASE: return aerial::Table::kSpectrumPhase;
    case AERIAL_IMAGE_INTENSITY: return aerial::Table::kImageIntensity;
    default: break;
    }
    throw aerial::Error(aerial::Status::kInvalidArgument, "no such table");
}

} // namespace

extern "C" {

const char* aerial_table_file_name(aerial_table table) {
    return isTable(table) ? aerial::tableFileName(tableOf(table)) : nullptr;
}

aerial_status aerial_simulation_create(aerial_simulation** simulation) {
    if (simulation == nullptr) return AERIAL_INVALID_ARGUMENT;
    *simulation = nullptr;
    try {
        *simulation = new aerial_simulation;
        return AERIAL_OK;
    } catch (...) {
        return AERIAL_OUT_OF_MEMORY;
    }
}

void aerial_simulation_destroy(aerial_simulation* simulation) { delete simulation; }

const char* aerial_simulation_error(const aerial_simulation* simulation) {
    return simulation == nullptr ? "no simulation (a null handle)" : simulation->error.c_str();
}

aerial_status aerial_simulation_read_input(aerial_simulation* s, const char* path) {
    return guarded(s, [&] {
        if (path == nullptr) throw aerial::Error(aerial::Status::kInvalidArgument, "no path");
        s->input = aerial::readInputFile(path);
    });
}

aerial_status aerial_simulation_parse_input(aerial_simulation* s, const char* text, size_t length) {
    return guarded(s, [&] {
        if (text == nullptr && length > 0) throw aerial::Error(aerial::Status::kInvalidArgument, "no text");
        s->input = aerial::parseInputText(std::string_view(text == nullptr ? "" : text, length));
    });
}

aerial_status aerial_simulation_set_parameter(aerial_simulation* s, const char* name, double value) {
    return guarded(s, [&] {
        const aerial::ParameterCell* cell = namedParameter(name);
        switch (cell->id) {
        case aerial::ParameterId::kRectCount:
            throw aerial::Error(aerial::Status::kInvalidArgument, "the rectangle count is set with the rectangles");
        case aerial::ParameterId::kGridSize:
            if (!(value == std::floor(value) && std::fabs(value) <= 1e9)) {
                throw aerial::Error(aerial::Status::kInvalidArgument, "grid takes a whole number");
            }
            s->input.gridSize = static_cast<int>(value);
            return;
        default: break;
        }
        *aerial::realParameterField(s->input, cell->id) = value;
    });
}

aerial_status aerial_simulation_parameter(const aerial_simulation* simulation, const char* name, double* value) {
    auto* s = const_cast<aerial_simulation*>(simulation); // only the error text changes
    return guarded(s, [&] {
        if (value == nullptr) throw aerial::Error(aerial::Status::kInvalidArgument, "no place for the value");
        *value = aerial::parameterValue(s->input, namedParameter(name)->id);
    });
}

aerial_status aerial_simulation_set_rectangles(aerial_simulation* s, const double* rows, int count) {
    return guarded(s, [&] {
        if (count < 0 || count > aerial::kMaxRects || (rows == nullptr && count > 0)) {
            throw aerial::Error(aerial::Status::kInvalidArgument,
                                "rectangles: between 0 and " + std::to_string(aerial::kMaxRects) + " rows of six values");
        }
        for (int r = 0; r < count; ++r) {
            const double* row = rows + 6 * r;
            s->input.rects[r] = {row[0], row[1], row[2], row[3], row[4], row[5]};
        }
        for (int r = count; r < s->input.rectCount && r < aerial::kMaxRects; ++r) s->input.rects[r] = {};
        s->input.rectCount = count;
    });
}

int aerial_simulation_rectangle_count(const aerial_simulation* s) {
    return s == nullptr ? 0 : s->input.rectCount;
}

aerial_status aerial_simulation_run(aerial_simulation* s, aerial_evaluation evaluation) {
    return guarded(s, [&] {
        aerial::RunOptions options;
        switch (passedValue(evaluation)) {
        case AERIAL_EVALUATION_FAST: break;
        case AERIAL_EVALUATION_DIRECT: options.evaluation = aerial::Evaluation::kDirect; break;
        case AERIAL_EVALUATION_BASELINE_VECTORS: options.baselineVectorsOnly = true; break;
        default: throw aerial::Error(aerial::Status::kInvalidArgument, "no such evaluation");
        }
        s->simulation.run(s->input, options, s->result);
    });
}

int aerial_simulation_grid_size(const aerial_simulation* s) {
    return s == nullptr || s->result.gridSize < 0 ? 0 : s->result.gridSize;
}

const double* aerial_simulation_labels(const aerial_simulation* s, aerial_table table) {
    if (s == nullptr || s->result.positions.empty() || !isTable(table)) return nullptr;
    return tableOf(table) == aerial::Table::kImageIntensity ? s->result.positions.data()
                                                            : s->result.directionSines.data();
}

const double* aerial_simulation_cells(const aerial_simulation* s, aerial_table table) {
    if (s == nullptr || s->result.intensity.empty() || !isTable(table)) return nullptr;
    switch (tableOf(table)) {
    case aerial::Table::kSpectrumAmplitude: return s->result.amplitude.data();
    case aerial::Table::kSpectrumPhase: return s->result.phase.data();
    case aerial::Table::kImageIntensity: break;
    }
    return s->result.intensity.data();
}

aerial_status aerial_simulation_format_table(aerial_simulation* s, aerial_table table, char* buffer,
                                             size_t capacity, size_t* length) {
    return guarded(s, [&] {
        if (length == nullptr) throw aerial::Error(aerial::Status::kInvalidArgument, "no place for the length");
        const std::string text = aerial::formatTable(s->result, tableOf(table));
        *length = text.size();
        if (buffer == nullptr) return;
        if (capacity < text.size()) {
            throw aerial::Error(aerial::Status::kInvalidArgument,
                                "the buffer holds " + std::to_string(capacity) + " bytes; the table has " +
                                    std::to_string(text.size()));
        }
        std::memcpy(buffer, text.data(), text.size());
    });
}

} // extern "C"
