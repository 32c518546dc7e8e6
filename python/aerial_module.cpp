// import aerial: the engine for Python. Input values by the names of the input file's
// parameters (`aerial set` names, with _ for -), rectangles as a numpy array, results as
// numpy arrays that are the very doubles main4 prints, and the bytes of main4's tables.
// Runs release the GIL, so Python threads run simulations at once.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "aerial/engine.hpp"
#include "input/input_layout.h"
#include "input/parse_input.h"

namespace py = pybind11;

namespace {

// A parameter's keyword: its name in the input layout with '_' for '-'.
std::string keywordOf(const aerial::ParameterCell& cell) {
    std::string name = cell.name;
    for (char& ch : name) {
        if (ch == '-') ch = '_';
    }
    return name;
}

const aerial::ParameterCell* parameterOfKeyword(const std::string& keyword) {
    for (const aerial::ParameterCell& cell : aerial::kParameterCells) {
        if (keywordOf(cell) == keyword) return &cell;
    }
    return nullptr;
}

std::string keywordList() {
    std::string names;
    for (const aerial::ParameterCell& cell : aerial::kParameterCells) {
        if (cell.id == aerial::ParameterId::kRectCount) continue;
        names += (names.empty() ? "" : ", ") + keywordOf(cell);
    }
    return names + ", rectangles";
}

// The input values, on the heap: an InputValues holds 1000 rectangle rows.
struct Input {
    std::shared_ptr<aerial::InputValues> values = std::make_shared<aerial::InputValues>();

    Input copy() const {
        Input out;
        *out.values = *values;
        return out;
    }
};

void setRectangles(aerial::InputValues& v, const py::handle& object) {
    const auto rows = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(object);
    const bool table = rows && rows.ndim() == 2 && rows.shape(1) == aerial::kRectangleCellCount;
    const bool none = rows && rows.ndim() == 1 && rows.shape(0) == 0;
    if (!table && !none) {
        throw py::value_error("rectangles: an array of shape (n, 6), each row trans_re, trans_im, x_start, x_end, "
                              "y_start, y_end in samples from the grid centre");
    }
    const py::ssize_t count = rows.ndim() == 2 ? rows.shape(0) : 0;
    if (count > aerial::kMaxRects) {
        throw py::value_error("rectangles: " + std::to_string(count) + " rows is above " +
                              std::to_string(aerial::kMaxRects) + " (the reader limits the count to " +
                              std::to_string(aerial::kMaxRects) + ")");
    }
    const double* data = rows.data();
    for (py::ssize_t r = 0; r < count; ++r) {
        const double* row = data + r * aerial::kRectangleCellCount;
        v.rects[r] = {row[0], row[1], row[2], row[3], row[4], row[5]};
    }
    for (int r = static_cast<int>(count); r < v.rectCount && r < aerial::kMaxRects; ++r) v.rects[r] = {};
    v.rectCount = static_cast<int>(count);
}

void setParameter(aerial::InputValues& v, const std::string& keyword, const py::handle& value) {
    if (keyword == "rectangles") {
        setRectangles(v, value);
        return;
    }
    const aerial::ParameterCell* cell = parameterOfKeyword(keyword);
    if (cell == nullptr || cell->id == aerial::ParameterId::kRectCount) {
        throw py::type_error("no parameter is named '" + keyword + "'; the names are " + keywordList());
    }
    if (cell->id == aerial::ParameterId::kGridSize) {
        v.gridSize = py::cast<int>(value);
        return;
    }
    *aerial::realParameterField(v, cell->id) = py::cast<double>(value);
}

void setParameters(aerial::InputValues& v, const py::kwargs& parameters) {
    for (const auto& [key, value] : parameters) setParameter(v, py::cast<std::string>(key), value);
}

py::array_t<double> rectanglesOf(const aerial::InputValues& v) {
    const int count = v.rectCount > 0 ? v.rectCount : 0;
    py::array_t<double> rows({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(aerial::kRectangleCellCount)});
    std::memcpy(rows.mutable_data(), v.rects, sizeof(aerial::MaskRectangle) * static_cast<std::size_t>(count));
    return rows;
}

// The last run's result, whose arrays the numpy views share (read-only).
struct Result {
    aerial::SimulationResult result;
};

py::array view(const py::object& owner, const std::vector<double>& data, std::vector<py::ssize_t> shape) {
    py::array array(py::dtype::of<double>(), shape, {}, data.data(), owner);
    array.attr("setflags")(py::arg("write") = false);
    return array;
}

aerial::Table tableNamed(const std::string& name) {
    for (aerial::Table t : {aerial::Table::kSpectrumAmplitude, aerial::Table::kSpectrumPhase, aerial::Table::kImageIntensity}) {
        if (name == aerial::tableFileName(t)) return t;
    }
    if (name == "amplitude") return aerial::Table::kSpectrumAmplitude;
    if (name == "phase") return aerial::Table::kSpectrumPhase;
    if (name == "intensity") return aerial::Table::kImageIntensity;
    throw py::value_error("no table is named '" + name + "': amplitude, phase, intensity or OUT_MR.xls, OUT_MI.xls, OUT_M.xls");
}

aerial::RunOptions optionsOf(const std::string& evaluation, bool wideVectors) {
    aerial::RunOptions options;
    if (evaluation == "direct") {
        options.evaluation = aerial::Evaluation::kDirect;
    } else if (evaluation != "fast") {
        throw py::value_error("evaluation: 'fast' or 'direct', not '" + evaluation + "'");
    }
    options.baselineVectorsOnly = !wideVectors;
    return options;
}

// The values of a run: those of input (if given) with the keywords' changes.
std::shared_ptr<aerial::InputValues> runValues(const py::object& input, const py::kwargs& parameters) {
    auto values = std::make_shared<aerial::InputValues>();
    if (!input.is_none()) *values = *py::cast<const Input&>(input).values;
    setParameters(*values, parameters);
    return values;
}

// A simulation's context, reused by every run; one run at a time, other Python threads
// running meanwhile.
struct Simulation {
    aerial::Simulation simulation;
    std::mutex running;

    Result run(const aerial::InputValues& values, const aerial::RunOptions& options) {
        Result out;
        py::gil_scoped_release released;
        const std::lock_guard<std::mutex> lock(running);
        simulation.run(values, options, out.result);
        return out;
    }
};

// aerial.simulate's simulation: one per thread, kept for the thread's next run.
Simulation& threadSimulation() {
    thread_local Simulation simulation;
    return simulation;
}

const char* kInputDoc = R"(The values of one simulation, by the names of the input file's parameters:
grid (int), sample_pitch, wavelength, na, sigma, shift_x, shift_y, defocus, ax1..ax6,
ay1..ay6 (lengths in one unit, whichever it is), and rectangles, an array of shape (n, 6):
trans_re, trans_im, x_start, x_end, y_start, y_end, edges in samples from the grid centre.
What is not given is 0, as an empty cell of an input file reads.)";

} // namespace

PYBIND11_MODULE(aerial, m) {
    m.doc() = "Aerial images of projection lithography: the aerial library's engine in memory.";

    static py::exception<aerial::Error> inputError(m, "InputError", PyExc_ValueError);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const aerial::Error& e) {
            switch (e.status()) {
            case aerial::Status::kUnreadableInput: PyErr_SetString(PyExc_OSError, e.what()); return;
            case aerial::Status::kOutOfMemory: PyErr_SetString(PyExc_MemoryError, e.what()); return;
            default: inputError(e.what()); return;
            }
        }
    });

    py::class_<Input>(m, "Input", kInputDoc)
        .def(py::init([](const py::kwargs& parameters) {
                 Input in; // all 0
                 setParameters(*in.values, parameters);
                 return in;
             }),
             "Input(**parameters)")
        .def("replace",
             [](const Input& self, const py::kwargs& parameters) {
                 Input out = self.copy();
                 setParameters(*out.values, parameters);
                 return out;
             },
             "A copy with the given parameters changed.")
        .def_property(
            "rectangles", [](const Input& self) { return rectanglesOf(*self.values); },
            [](Input& self, const py::object& rows) { setRectangles(*self.values, rows); },
            "The rectangles as an array of shape (n, 6) (a copy).")
        .def("__getattr__",
             [](const Input& self, const std::string& keyword) -> py::object {
                 const aerial::ParameterCell* cell = parameterOfKeyword(keyword);
                 if (cell == nullptr) throw py::attribute_error(keyword);
                 if (cell->id == aerial::ParameterId::kGridSize) return py::int_(self.values->gridSize);
                 if (cell->id == aerial::ParameterId::kRectCount) return py::int_(self.values->rectCount);
                 return py::float_(aerial::parameterValue(*self.values, cell->id));
             })
        .def("__setattr__",
             [](Input& self, const std::string& keyword, const py::object& value) {
                 setParameter(*self.values, keyword, value);
             })
        .def("__repr__", [](const Input& self) {
            std::string text = "aerial.Input(";
            for (const aerial::ParameterCell& cell : aerial::kParameterCells) {
                if (cell.id == aerial::ParameterId::kRectCount) continue;
                const double value = aerial::parameterValue(*self.values, cell.id);
                const py::object shown = cell.kind == aerial::CellKind::kInteger ? py::object(py::int_(static_cast<int>(value)))
                                                                                  : py::object(py::float_(value));
                text += keywordOf(cell) + "=" + py::repr(shown).cast<std::string>() + ", ";
            }
            return text + "rectangles=<" + std::to_string(self.values->rectCount) + " rows>)";
        });

    py::class_<Result>(m, "Result", "What main4's three tables print, as arrays; cells [y, x] as the tables' rows.")
        .def_property_readonly("grid", [](const Result& r) { return r.result.gridSize; })
        .def_property_readonly(
            "direction_sines",
            [](py::object self) {
                const Result& r = self.cast<const Result&>();
                return view(self, r.result.directionSines, {static_cast<py::ssize_t>(r.result.directionSines.size())});
            },
            "The labels of both axes of the spectrum tables (OUT_MR.xls, OUT_MI.xls).")
        .def_property_readonly(
            "positions",
            [](py::object self) {
                const Result& r = self.cast<const Result&>();
                return view(self, r.result.positions, {static_cast<py::ssize_t>(r.result.positions.size())});
            },
            "The labels of both axes of the image table (OUT_M.xls), in the input's length unit.")
        .def_property_readonly(
            "amplitude",
            [](py::object self) {
                const Result& r = self.cast<const Result&>();
                const py::ssize_t n = static_cast<py::ssize_t>(r.result.positions.size());
                return view(self, r.result.amplitude, {n, n});
            },
            "Amplitude of the mask spectrum, [y, x] (OUT_MR.xls).")
        .def_property_readonly(
            "phase",
            [](py::object self) {
                const Result& r = self.cast<const Result&>();
                const py::ssize_t n = static_cast<py::ssize_t>(r.result.positions.size());
                return view(self, r.result.phase, {n, n});
            },
            "Phase of the mask spectrum in radians, [y, x] (OUT_MI.xls).")
        .def_property_readonly(
            "intensity",
            [](py::object self) {
                const Result& r = self.cast<const Result&>();
                const py::ssize_t n = static_cast<py::ssize_t>(r.result.positions.size());
                return view(self, r.result.intensity, {n, n});
            },
            "The aerial image, open frame = 1, [y, x] (OUT_M.xls).")
        .def(
            "table",
            [](const Result& r, const std::string& name) {
                return py::bytes(aerial::formatTable(r.result, tableNamed(name)));
            },
            py::arg("name"),
            "The bytes main4 writes for the table: 'amplitude', 'phase', 'intensity' or its file name.");

    py::class_<Simulation>(m, "Simulation",
                           "A reusable simulation (about 4 MiB, allocated once). One run at a time on one "
                           "Simulation; other threads run meanwhile.")
        .def(py::init<>())
        .def(
            "run",
            [](Simulation& self, const py::object& input, const std::string& evaluation, bool wideVectors,
               const py::kwargs& parameters) {
                const auto values = runValues(input, parameters);
                return self.run(*values, optionsOf(evaluation, wideVectors));
            },
            py::arg("input") = py::none(), py::kw_only(), py::arg("evaluation") = "fast",
            py::arg("wide_vectors") = true,
            "run(input=None, *, evaluation='fast', wide_vectors=True, **parameters) -> Result");

    m.def(
        "simulate",
        [](const py::object& input, const std::string& evaluation, bool wideVectors, const py::kwargs& parameters) {
            const auto values = runValues(input, parameters);
            return threadSimulation().run(*values, optionsOf(evaluation, wideVectors));
        },
        py::arg("input") = py::none(), py::kw_only(), py::arg("evaluation") = "fast", py::arg("wide_vectors") = true,
        "simulate(input=None, *, evaluation='fast', wide_vectors=True, **parameters) -> Result\n\n"
        "One run: the values of input (an aerial.Input, default all 0) with the given parameters changed.\n"
        "evaluation 'direct' is the reference (the same bits, far slower); wide_vectors=False runs the\n"
        "fast evaluation without AVX2 (the same bits).");

    m.def(
        "read_input",
        [](const std::string& path) {
            Input in;
            *in.values = aerial::readInputFile(path);
            return in;
        },
        py::arg("path"), "The values of an input file of any name, read as main4 reads IN_FM.txt.");
    m.def(
        "parse_input",
        [](const std::string& text) {
            Input in;
            *in.values = aerial::parseInputText(text);
            return in;
        },
        py::arg("text"), "The values of an input file's text.");

    py::list names;
    for (const aerial::ParameterCell& cell : aerial::kParameterCells) {
        if (cell.id != aerial::ParameterId::kRectCount) names.append(keywordOf(cell));
    }
    names.append("rectangles");
    m.attr("PARAMETERS") = py::tuple(names);
    m.attr("TABLES") = py::make_tuple(aerial::tableFileName(aerial::Table::kSpectrumAmplitude),
                                      aerial::tableFileName(aerial::Table::kSpectrumPhase),
                                      aerial::tableFileName(aerial::Table::kImageIntensity));
    m.attr("MAX_GRID") = aerial::kMaxGrid;
    m.attr("MAX_RECTANGLES") = aerial::kMaxRects;
}
