// Batches: CSV text, and the columns of a frame sized where they lie, on the host's batch engine.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <cstdint>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/batch.h"
#include "host/level_report.h"
#include "host/mechanical_report.h"
#include "host/settling_report.h"
#include "model/case_file.h"
#include "model/csv.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"
#include "python/src/bindings.h"
#include "review/review.h"

namespace py = pybind11;
using kestrol::host::InputError;
using kestrol::host::SizingCase;
using kestrol::host::SizingOutcome;

namespace kestrol::python {
namespace {

/// A review row's warning codes in one number, one bit per code: a batch has few distinct
/// lists, found by this number without their text per row. A review lists its warnings in code
/// order, so the bits give back the list.
std::uint64_t PackWarnings(const kestrol::host::ReviewCells& cells) {
    static_assert(kestrol::review::kCodeCount <= 64, "one bit per code");
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < cells.warningCount; ++i) packed |= std::uint64_t{1} << static_cast<unsigned>(cells.warnings[i]);
    return packed;
}

kestrol::host::ReviewCells UnpackWarnings(std::uint64_t packed) {
    kestrol::host::ReviewCells cells;
    for (std::size_t code = 0; code < kestrol::review::kCodeCount; ++code)
        if ((packed >> code) & 1u) cells.warnings[cells.warningCount++] = static_cast<kestrol::review::Code>(code);
    return cells;
}

/// How often the calling thread looks up from a running batch [ms]: for Ctrl-C, well inside the
/// half second an interrupted user waits, and for the progress bar.
constexpr auto kWatchPeriod = std::chrono::milliseconds(50);

/// Rows between looks for Ctrl-C, and moments for other threads, while mappings are read under
/// the interpreter lock: a few milliseconds of reading.
constexpr std::size_t kRowsBetweenSignalChecks = 4096;

/// Runs `batch` on a thread of its own while this one, the thread Python hands signals to, looks
/// up every kWatchPeriod: Ctrl-C raises `stop` and, once the batch has wound down, comes back
/// as KeyboardInterrupt; `progress(done, total)` is called when given (total 0 while unknown).
template <class Batch>
void RunWatched(const Batch& batch, std::atomic<int>& stop, const std::atomic<std::size_t>& done,
                const std::atomic<std::size_t>& total, const py::object& progress) {
    std::mutex lock;
    std::condition_variable ended;
    bool finished = false;
    std::exception_ptr error;
    std::thread runner([&] {
        try {
            batch();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard<std::mutex> hold(lock);
        finished = true;
        ended.notify_all();
    });
    auto join = [&] {
        py::gil_scoped_release release;
        runner.join();
    };
    const auto report = [&](std::size_t rows, std::size_t all) {
        if (!progress.is_none()) progress(std::min(rows, all == 0 ? rows : all), all);
    };
    try {
        while (true) {
            bool over = false;
            {
                py::gil_scoped_release release;
                std::unique_lock<std::mutex> hold(lock);
                over = ended.wait_for(hold, kWatchPeriod, [&] { return finished; });
            }
            if (over) break;
            if (PyErr_CheckSignals() != 0) throw py::error_already_set();
            report(done.load(std::memory_order_relaxed), total.load(std::memory_order_relaxed));
        }
    } catch (...) {
        stop.store(1);
        join();
        throw;
    }
    join();
    if (error) std::rethrow_exception(error);
    report(total.load(), total.load());
}

}  // namespace

void BindBatch(py::module_& m) {
    m.def("parse_number", [](const std::string& text) -> std::optional<double> { return kestrol::host::ParseNumber(text); },
          "A CSV field as the batch reads a number, or None.");
    m.def("parse_orientation", [](const std::string& text) { return static_cast<int>(kestrol::host::ParseOrientation(text)); });
    // Orientation codes of an object column of words; returns {row: problem} for the rows whose
    // word is refused, or None when a cell is neither a str nor None or the column holds many
    // distinct word objects, for the caller to read it the general way. A column holds few: a
    // CSV reader makes one object of each distinct word.
    m.def("read_orientations", [](py::array cells, py::buffer orientations) -> py::object {
        py::buffer_info o = orientations.request(true);
        if (cells.dtype().kind() != 'O' || cells.ndim() != 1 || o.itemsize != 1 || o.size != cells.shape(0)) return py::none();
        struct Word {
            PyObject* cell;
            std::int8_t code;
            std::string problem;
        };
        constexpr std::size_t kMostWords = 32;
        std::vector<Word> words;
        const auto* base = static_cast<const char*>(cells.data());
        auto* out = static_cast<std::int8_t*>(o.ptr);
        py::dict problems;
        for (py::ssize_t row = 0; row < cells.shape(0); ++row) {
            PyObject* cell = *reinterpret_cast<PyObject* const*>(base + row * cells.strides(0));
            if (cell == Py_None) {
                out[row] = static_cast<std::int8_t>(kestrol::host::Orientation::Auto);
                continue;
            }
            if (!PyUnicode_CheckExact(cell)) return py::none();
            auto word = std::find_if(words.begin(), words.end(), [cell](const Word& w) { return w.cell == cell; });
            if (word == words.end()) {
                if (words.size() == kMostWords) return py::none();
                Word read{cell, static_cast<std::int8_t>(kestrol::host::Orientation::Auto), std::string()};
                try {
                    read.code = static_cast<std::int8_t>(kestrol::host::ParseOrientation(py::handle(cell).cast<std::string>()));
                } catch (const InputError& e) {
                    read.problem = std::string("orientation: ") + e.what();
                }
                word = words.insert(words.end(), std::move(read));
            }
            out[row] = word->code;
            if (!word->problem.empty()) problems[py::int_(row)] = word->problem;
        }
        return problems;
    });
    m.def("column_keys", &kestrol::host::ColumnKeys, py::arg("names"), py::arg("source"));
    m.def("size_csv",
          [](const std::string& text, const std::string& source, unsigned jobs, const py::object& progress) {
              std::ostringstream out;
              std::atomic<int> stop{0};
              std::atomic<std::size_t> done{0}, total{0};
              kestrol::host::BatchOptions options;
              options.jobs = jobs;
              options.stop = &stop;
              options.progress = [&](std::size_t rows, std::size_t all) {
                  done.store(rows, std::memory_order_relaxed);
                  total.store(all, std::memory_order_relaxed);
              };
              RunWatched([&] { kestrol::host::SizeCsv(text, source, out, options); }, stop, done, total, progress);
              return py::bytes(out.str());
          },
          py::arg("text"), py::arg("source"), py::arg("jobs") = 0, py::arg("progress") = py::none());
    m.def("nearest_key", [](const std::string& word, const std::vector<std::string>& candidates) { return kestrol::host::NearestKey(word, candidates); },
          "The candidate the command line would suggest for a mistyped name, or an empty string.");

    // The settling inputs of n rows, as a buffer of ProcessInputs that the readers below fill and
    // size_columns reads: nothing given in any row yet.
    m.def("process_inputs", [](std::size_t n) {
        const std::vector<kestrol::host::ProcessInputs> rows(n);
        return py::bytearray(reinterpret_cast<const char*>(rows.data()), n * sizeof(kestrol::host::ProcessInputs));
    });

    // Reads an object column of a settling key (SETTLING_KEYS[index]) into the rows' settling
    // inputs by the rule every route follows; returns {row: problem} for the cells refused.
    m.def("read_settling_cells", [](int index, py::array cells, py::buffer process) {
        py::buffer_info b = process.request(true);
        if (cells.dtype().kind() != 'O' || cells.ndim() != 1 || index < 0 ||
            static_cast<std::size_t>(index) >= kestrol::host::SettlingKeyNames().size() ||
            static_cast<std::size_t>(b.size * b.itemsize) != static_cast<std::size_t>(cells.shape(0)) * sizeof(kestrol::host::ProcessInputs))
            throw py::value_error("read_settling_cells: buffers of the wrong size");
        auto* rows = static_cast<kestrol::host::ProcessInputs*>(b.ptr);
        const std::string& key = kestrol::host::SettlingKeyNames()[static_cast<std::size_t>(index)];
        const bool word = key == "mist_eliminator" || key == "inlet_device";
        const auto* base = static_cast<const char*>(cells.data());
        py::dict problems;
        for (py::ssize_t row = 0; row < cells.shape(0); ++row) {
            py::handle cell(*reinterpret_cast<PyObject* const*>(base + row * cells.strides(0)));
            if (NotGiven(cell)) continue;
            std::string why;
            if (word) {
                why = PyUnicode_Check(cell.ptr()) ? kestrol::host::ReadSettlingValue(index, false, 0.0, cell.cast<std::string>(), rows[row])
                                                  : "must be a string, not " + std::string(py::str(py::type::handle_of(cell).attr("__name__")));
            } else {
                try {
                    why = kestrol::host::ReadSettlingValue(index, true, CellNumber(cell).value_or(0.0), {}, rows[row]);
                } catch (const InputError& e) {
                    why = e.what();
                }
            }
            if (!why.empty()) problems[py::int_(row)] = key + ": " + why;
        }
        return problems;
    });

    // Reads an object column of a numeric key into doubles (NaN where not given) by the rule every
    // route follows; returns {row: problem} for the cells that are not numbers.
    m.def("read_cells", [](const std::string& key, py::array cells, py::buffer values) {
        py::buffer_info v = values.request(true);
        if (cells.dtype().kind() != 'O' || cells.ndim() != 1 || v.itemsize != sizeof(double) || v.size != cells.shape(0))
            throw py::value_error("read_cells: buffers of the wrong size");
        const auto* base = static_cast<const char*>(cells.data());
        auto* out = static_cast<double*>(v.ptr);
        py::dict problems;
        for (py::ssize_t row = 0; row < cells.shape(0); ++row) {
            py::handle cell(*reinterpret_cast<PyObject* const*>(base + row * cells.strides(0)));
            try {
                out[row] = CellNumber(cell).value_or(std::nan(""));
            } catch (const InputError& e) {
                out[row] = std::nan("");
                problems[py::int_(row)] = key + ": " + e.what();
            }
        }
        return problems;
    });

    // Reads mappings into a column of doubles for each key some row gives (NaN where a row does
    // not), made by column(n) when the key is first met, and orientation codes; returns
    // {row: problem} for the rows the case reader refuses, the names, the orientation words as
    // given ("" where none) and {key: column}.
    m.def("read_mappings", [](py::sequence rows, py::function column, py::buffer orientations, py::buffer process) {
        py::buffer_info o = orientations.request(true);
        py::buffer_info pb = process.request(true);
        const std::size_t n = py::len(rows);
        if (o.itemsize != 1 || static_cast<std::size_t>(o.size) != n ||
            static_cast<std::size_t>(pb.size * pb.itemsize) != n * sizeof(kestrol::host::ProcessInputs))
            throw py::value_error("read_mappings: buffers of the wrong size");
        auto* settling = static_cast<kestrol::host::ProcessInputs*>(pb.ptr);
        auto* orient = static_cast<std::int8_t*>(o.ptr);
        py::dict problems, columns;
        py::list names(n), words(n);
        const py::object none = py::str("");
        std::vector<py::buffer_info> held;  // the columns made so far, written in place
        // The case keys, then the level keys (a levels block of the mapping, or flat keys).
        std::array<double*, kestrol::host::kCaseKeyCount + kestrol::host::kLevelKeyCount> out{};
        // The mechanical keys as each row gave them, None where it did not: read again by size_columns.
        const auto& mechanicalKeys = kestrol::host::MechanicalKeyNames();
        std::vector<py::list> mechanical;
        for (std::size_t k = 0; k < mechanicalKeys.size(); ++k) mechanical.emplace_back(n);
        for (std::size_t row = 0; row < n; ++row) {
            if (row % kRowsBetweenSignalChecks == kRowsBetweenSignalChecks - 1) {
                if (PyErr_CheckSignals() != 0) throw py::error_already_set();
                py::gil_scoped_release others;  // the interpreter's other threads run a moment
            }
            const py::object mapping = rows[row];
            SizingCase c;
            try {
                c = CaseFromMapping(mapping, "row " + std::to_string(row));
            } catch (const InputError& e) {
                problems[py::int_(row)] = e.what();
            }
            for (std::size_t k = 0; k < out.size(); ++k) {
                const std::size_t level = k - kestrol::host::kCaseKeyCount;
                const bool has = k < kestrol::host::kCaseKeyCount ? c.Has(static_cast<int>(k)) : c.levels.Has(static_cast<int>(level));
                const double value = k < kestrol::host::kCaseKeyCount ? c.values[k] : c.levels.values[level];
                if (has && out[k] == nullptr) {
                    py::object made = column(n);
                    py::buffer_info b = py::reinterpret_borrow<py::buffer>(made).request(true);
                    if (b.itemsize != sizeof(double) || static_cast<std::size_t>(b.size) != n) throw py::value_error("read_mappings: a column of the wrong size");
                    out[k] = static_cast<double*>(b.ptr);
                    std::fill(out[k], out[k] + n, std::nan(""));
                    held.push_back(std::move(b));
                    columns[py::int_(k)] = made;
                }
                if (out[k] != nullptr) out[k][row] = has ? value : std::nan("");
            }
            orient[row] = static_cast<std::int8_t>(c.orientation);
            settling[row] = c.process;
            names[row] = py::str(c.name);
            const kestrol::host::MechanicalInputs& inputs = c.mechanical;
            const auto number = [](double v) -> py::object { return kestrol::IsEmpty(v) ? py::none() : py::object(py::float_(v)); };
            const auto text = [](const char* w) -> py::object { return *w == '\0' ? py::none() : py::object(py::str(w)); };
            const py::object gave[] = {number(inputs.designPressureKpa), number(inputs.designTemperatureC),
                                       text(kestrol::host::PlateGradeKey(inputs.material)), text(kestrol::host::RadiographyKey(inputs.radiography)),
                                       number(inputs.corrosionAllowanceMm)};
            for (std::size_t k = 0; k < mechanical.size(); ++k) mechanical[k][row] = gave[k];
            // The word the row gave, as it gave it; the case holds only its meaning.
            py::object word = PyDict_Check(mapping.ptr()) ? py::reinterpret_borrow<py::object>(PyDict_GetItemString(mapping.ptr(), "orientation"))
                                                          : mapping.attr("get")("orientation");
            words[row] = word && PyUnicode_Check(word.ptr()) ? word : none;
        }
        py::dict mechanicalColumns;
        for (std::size_t k = 0; k < mechanical.size(); ++k)
            if (std::any_of(mechanical[k].begin(), mechanical[k].end(), [](py::handle v) { return !v.is_none(); }))
                mechanicalColumns[py::str(mechanicalKeys[k])] = mechanical[k];
        return py::make_tuple(problems, names, words, columns, mechanicalColumns);
    });

    // Sizes the rows of the given keys' columns, [(key, n contiguous doubles)] with NaN where a
    // row gives nothing, with each row's settling inputs (`process`, from process_inputs) and
    // the mechanical keys' cells, on the batch engine without the interpreter lock; the columns
    // are read where they lie; a key past CaseKeys() is a level key. Rows in `skip` are left as
    // bad input. Fills the result columns and the mechanical ones after them (column-major, NaN
    // where the CSV leaves a cell empty), the level columns likewise, the orientation used (-1
    // none, 0 vertical, 1 horizontal) and the status codes; returns {row: message}, the review's
    // columns, the settling columns and the plate grade used at design conditions ("" where none).
    m.def("size_columns", [](py::sequence keyColumns, py::buffer orientations, py::buffer process, py::dict skip, py::buffer results,
                             py::buffer levelResults, py::buffer used, py::buffer status, unsigned jobs, bool reviewed,
                             const py::object& progress, py::sequence mechanicalColumns) {
        py::buffer_info o = orientations.request();
        py::buffer_info pb = process.request();
        py::buffer_info r = results.request(true);
        py::buffer_info lv = levelResults.request(true);
        py::buffer_info u = used.request(true);
        py::buffer_info st = status.request(true);
        const std::size_t n = static_cast<std::size_t>(o.size);
        const std::size_t keys = kestrol::host::kCaseKeyCount;
        const std::size_t columns = kestrol::host::ResultFields().count + kestrol::host::kMechanicalColumnCount;
        if (o.itemsize != 1 || r.itemsize != sizeof(double) ||
            static_cast<std::size_t>(r.size) != n * columns || u.itemsize != 1 || static_cast<std::size_t>(u.size) != n || st.itemsize != 1 ||
            static_cast<std::size_t>(st.size) != n || lv.itemsize != sizeof(double) ||
            static_cast<std::size_t>(lv.size) != n * kestrol::host::kLevelColumnCount)
            throw py::value_error("size_columns: buffers of the wrong size");
        if (static_cast<std::size_t>(pb.size * pb.itemsize) != n * sizeof(kestrol::host::ProcessInputs))
            throw py::value_error("size_columns: settling inputs of the wrong size");
        const auto* settlingIn = static_cast<const kestrol::host::ProcessInputs*>(pb.ptr);
        // The settling and nozzle cells go straight into their columns, as the results do.
        constexpr std::size_t kSettling = kestrol::host::kSettlingColumnCount;
        std::vector<py::array_t<double>> settlingColumns;
        std::vector<double*> settlingOut;
        for (std::size_t i = 0; i < kSettling; ++i) {
            settlingColumns.emplace_back(static_cast<py::ssize_t>(n));
            settlingOut.push_back(settlingColumns.back().mutable_data());
        }
        std::vector<py::buffer_info> held;  // the columns stay readable until the rows are sized
        std::vector<std::pair<std::size_t, const double*>> given;
        for (auto item : keyColumns) {
            const auto pair = item.cast<std::pair<std::size_t, py::buffer>>();
            py::buffer_info column = pair.second.request();
            // Past the case keys, the level keys: keys + a LevelKeys() index.
            if (pair.first >= keys + kestrol::host::kLevelKeyCount || column.itemsize != sizeof(double) || column.format != py::format_descriptor<double>::format() ||
                column.ndim != 1 || static_cast<std::size_t>(column.size) != n || (n > 1 && column.strides[0] != sizeof(double)))
                throw py::value_error("size_columns: a column that is not n contiguous doubles of a case key");
            given.emplace_back(pair.first, static_cast<const double*>(column.ptr));
            held.push_back(std::move(column));
        }
        std::vector<unsigned char> skipped(n, 0);
        for (auto item : skip) {
            const auto row = item.first.cast<std::size_t>();
            if (row < n) skipped[row] = 1;
        }
        // The mechanical keys' cells, [(key, n cells)], read here while the interpreter is held.
        std::vector<kestrol::host::MechanicalInputs> mechanicalRows(n);
        std::vector<std::string> mechanicalProblems(n);
        for (auto item : mechanicalColumns) {
            const auto pair = item.cast<std::pair<std::string, py::sequence>>();
            if (!kestrol::host::IsMechanicalKey(pair.first) || static_cast<std::size_t>(py::len(pair.second)) != n)
                throw py::value_error("size_columns: a column that is not n cells of a mechanical key");
            for (std::size_t row = 0; row < n; ++row) {
                const py::object cell = pair.second[row];
                if (NotGiven(cell) || !mechanicalProblems[row].empty()) continue;
                std::string problem;
                if (PyUnicode_Check(cell.ptr())) {
                    problem = kestrol::host::ReadMechanicalField(pair.first, cell.cast<std::string>(), mechanicalRows[row]);
                } else {
                    try {
                        const std::optional<double> v = CellNumber(cell);
                        if (v) problem = kestrol::host::ReadMechanicalJson(pair.first, nlohmann::json(*v), mechanicalRows[row]);
                    } catch (const InputError& e) {
                        problem = e.what();
                    }
                }
                if (!problem.empty()) mechanicalProblems[row] = pair.first + ": " + problem;
            }
        }
        const auto* orient = static_cast<const std::int8_t*>(o.ptr);
        auto* out = static_cast<double*>(r.ptr);
        auto* levelOut = static_cast<double*>(lv.ptr);
        auto* usedOut = static_cast<std::int8_t*>(u.ptr);
        auto* statusOut = static_cast<std::int8_t*>(st.ptr);
        // Few rows have a message: kept apart, not as a string for every row.
        std::mutex messageLock;
        std::vector<std::pair<std::size_t, std::string>> messages;
        // The review's number goes straight into its column; its words are kept as the review's
        // constants and packed warning codes, made Python strings afterwards under the lock.
        const auto rows = static_cast<py::ssize_t>(n);
        py::array_t<double> load(reviewed ? rows : 0);
        double* loadOut = load.mutable_data();
        struct ReviewWords {
            const char* diameter;
            const char* length;
            std::uint64_t warnings;
        };
        std::vector<ReviewWords> reviewWords(reviewed ? n : 0);
        // The plate grade used, a string constant per row, made a Python string afterwards.
        std::vector<const char*> materialWords(n, "");

        // Rows after a stop are neither sized nor written: the batch winds down in moments.
        std::atomic<int> stop{0};
        std::atomic<std::size_t> done{0};
        const std::atomic<std::size_t> total{n};
        constexpr std::size_t kRowsCounted = 64;  // rows counted at a time: one shared count per row would cost
        kestrol::host::RowReader read = [&](std::size_t row, SizingCase& c) -> std::string {
            if (skipped[row] || stop.load(std::memory_order_relaxed) != 0) return "skipped";
            if (!mechanicalProblems[row].empty()) return mechanicalProblems[row];
            c.orientation = static_cast<kestrol::host::Orientation>(orient[row]);
            c.process = settlingIn[row];
            c.mechanical = mechanicalRows[row];
            for (const auto& [key, values] : given) {
                if (std::isnan(values[row])) continue;
                (key < keys ? c.values[key] : c.levels.values[key - keys]) = values[row];
            }
            return kestrol::host::CheckCase(c).Text();
        };
        kestrol::host::RowWriter write = [&](std::size_t row, const SizingCase& c, const SizingOutcome* outcome,
                                             kestrol::host::RowStatus rowStatus, const std::string& message) {
            if (stop.load(std::memory_order_relaxed) != 0) return;
            if (row % kRowsCounted == 0) done.fetch_add(kRowsCounted, std::memory_order_relaxed);
            std::size_t column = 0;
            const bool sized = outcome && outcome->Sized();
            for (const auto& f : kestrol::host::ResultFields())
                out[column++ * n + row] = outcome ? kestrol::host::ResultCell(f, c, *outcome, sized) : std::nan("");
            double settlingCells[kSettling];
            if (outcome) {
                kestrol::host::SettlingCells(c, *outcome, settlingCells);
            } else {
                std::fill(std::begin(settlingCells), std::end(settlingCells), std::nan(""));
            }
            for (std::size_t i = 0; i < kSettling; ++i) settlingOut[i][row] = settlingCells[i];
            std::array<double, kestrol::host::kMechanicalColumnCount> mechanical;
            mechanical.fill(std::nan(""));
            materialWords[row] = outcome ? kestrol::host::MechanicalCells(c, *outcome, mechanical.data()) : "";
            for (const double v : mechanical) out[column++ * n + row] = v;
            if (outcome) {
                const auto levelCells = kestrol::host::LevelCells(c, *outcome);
                for (std::size_t k = 0; k < levelCells.size(); ++k) levelOut[k * n + row] = levelCells[k];
            } else {
                for (std::size_t k = 0; k < kestrol::host::kLevelColumnCount; ++k) levelOut[k * n + row] = std::nan("");
            }
            usedOut[row] = static_cast<std::int8_t>(outcome ? outcome->orientation : -1);
            statusOut[row] = static_cast<std::int8_t>(rowStatus);
            if (!skipped[row] && !message.empty()) {
                std::lock_guard<std::mutex> lock(messageLock);
                messages.emplace_back(row, message);
            }
            if (!reviewed) return;
            // The same review and cells the CSV batch writes for the row; empty ones without an outcome.
            kestrol::host::ReviewCells cells;
            if (outcome) cells = kestrol::host::ReviewCellsOf(kestrol::review::ReviewCase(c, *outcome, kestrol::review::Scope::Batch));
            loadOut[row] = cells.vapourLoadPercent.value_or(std::nan(""));
            reviewWords[row] = {cells.governingDiameter, cells.governingLength, PackWarnings(cells)};
        };
        kestrol::host::BatchOptions options;
        options.jobs = jobs;
        RunWatched([&] { kestrol::host::SizeRows(n, read, write, options); }, stop, done, total, progress);
        py::dict found;
        for (const auto& [row, message] : messages) found[py::int_(row)] = message;
        py::dict settling;
        for (std::size_t i = 0; i < kSettling; ++i) settling[py::str(kestrol::host::SettlingColumnNames()[i])] = settlingColumns[i];
        // The words into object arrays, each distinct word made once: the governing constraints'
        // keys and the plate grades found by address, the warnings by their packed codes.
        std::vector<std::pair<const char*, py::str>> constraints;
        auto constraint = [&](const char* text) {
            auto at = std::find_if(constraints.begin(), constraints.end(), [text](const auto& c) { return c.first == text; });
            if (at == constraints.end()) at = constraints.insert(constraints.end(), {text, py::str(text)});
            return at->second.inc_ref().ptr();
        };
        py::array material(py::dtype("O"), rows);
        auto* materialCells = static_cast<PyObject**>(material.mutable_data());
        for (std::size_t row = 0; row < n; ++row) materialCells[row] = constraint(materialWords[row]);
        if (!reviewed) return py::make_tuple(found, py::none(), settling, material);
        py::array diameter(py::dtype("O"), rows), length(py::dtype("O"), rows), warned(py::dtype("O"), rows);
        auto* diameterCells = static_cast<PyObject**>(diameter.mutable_data());
        auto* lengthCells = static_cast<PyObject**>(length.mutable_data());
        auto* warnedCells = static_cast<PyObject**>(warned.mutable_data());
        std::map<std::uint64_t, py::str> warningWords;
        for (std::size_t row = 0; row < n; ++row) {
            const ReviewWords& words = reviewWords[row];
            diameterCells[row] = constraint(words.diameter);  // the array's new cells hold no reference yet
            lengthCells[row] = constraint(words.length);
            auto at = warningWords.find(words.warnings);
            if (at == warningWords.end()) {
                std::string joined;
                kestrol::host::AppendWarningCodes(joined, UnpackWarnings(words.warnings));
                at = warningWords.emplace(words.warnings, py::str(joined)).first;
            }
            warnedCells[row] = at->second.inc_ref().ptr();
        }
        const std::vector<std::string> names = kestrol::host::ReviewColumnNames();
        // In the order of ReviewCells, which is the order of the batch's review columns.
        const py::object cells[] = {diameter, length, warned, load};
        if (names.size() != std::size(cells)) throw std::logic_error("the review's columns and cells disagree");
        py::dict review;
        for (std::size_t i = 0; i < names.size(); ++i) review[py::str(names[i])] = cells[i];
        return py::make_tuple(found, review, settling, material);
    });
}

}  // namespace kestrol::python
