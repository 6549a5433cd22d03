// _co2calc: the model library for Python. The package co2calc (__init__.py) checks the arguments
// and broadcasts them; this module evaluates flat arrays of state points on worker threads, without
// the GIL, one co2::Evaluator per thread.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "co2model.hpp"
#include "model/brine.h"
#include "model/units.h"

namespace py = pybind11;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const char* groupName(co2::Group group) {
    switch (group) {
    case co2::Group::input:
        return "input";
    case co2::Group::water:
        return "water";
    case co2::Group::co2:
        return "co2";
    case co2::Group::dilution:
        return "dilution";
    case co2::Group::solubility:
        return "solubility";
    case co2::Group::solution:
        return "solution";
    case co2::Group::brine:
        return "brine";
    }
    return "";
}

struct Failure {
    std::size_t index;
    std::string message;
};

// The points of one call: flat, contiguous inputs of equal length (p empty for a curve, m empty
// for "at the solubility"), and the output buffers, written only at a point's own index.
struct Job {
    int curve = 0;
    const double* t = nullptr;
    const double* p = nullptr;
    const double* m = nullptr;
    const double* nacl = nullptr; // NaCl molality added to `brine` point by point, or none
    co2::Brine brine;
    co2::SolubilityModel solubilityModel = co2::SolubilityModel::own;
    std::size_t count = 0;
    std::vector<int> columns;
    co2::Arithmetic arithmetic = co2::Arithmetic::fast;
    bool raw = false;
    double* values = nullptr; // columns.size() rows of count values
    std::uint32_t* flags = nullptr;
};

void evaluateRange(const Job& job, co2::Evaluator& evaluator, std::size_t begin, std::size_t end,
                   std::vector<Failure>& failures) {
    for (std::size_t i = begin; i < end; ++i) {
        const double m = job.m != nullptr ? job.m[i] : kNaN;
        co2::Point point = job.curve != 0 ? co2::Point::onCurve(job.curve, job.t[i], m)
                                          : co2::Point::at(job.t[i], job.p[i], m);
        point.brine = job.brine;
        point.solubilityModel = job.solubilityModel;
        if (job.nacl != nullptr) {
            point.brine.Na += job.nacl[i];
            point.brine.Cl += job.nacl[i];
        }
        const co2::Result r = evaluator.run(point);
        for (std::size_t c = 0; c < job.columns.size(); ++c)
            job.values[c * job.count + i] = r[job.columns[c]];
        job.flags[i] = r.flags;
        if (!r.ok())
            failures.push_back({i, r.message.empty() ? "error " + std::to_string(r.error) : r.message});
    }
}

// Runs the job on `threads` workers that take blocks of consecutive points from a shared counter,
// so slow and fast regions of a grid spread evenly; no two workers ever touch the same index. The
// calling thread keeps the GIL released except to look for Ctrl+C now and then.
std::vector<Failure> run(const Job& job, unsigned threads) {
    constexpr std::size_t kBlock = 64;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::vector<std::vector<Failure>> failures(threads);
    std::vector<std::exception_ptr> errors(threads);
    std::mutex mutex;
    std::condition_variable finished;
    unsigned running = threads;

    auto worker = [&](unsigned w) {
        try {
            co2::Evaluator evaluator(co2::Options{job.arithmetic, job.raw, kNaN});
            while (!stop.load(std::memory_order_relaxed)) {
                const std::size_t begin = next.fetch_add(kBlock, std::memory_order_relaxed);
                if (begin >= job.count) break;
                evaluateRange(job, evaluator, begin, std::min(begin + kBlock, job.count), failures[w]);
            }
        } catch (...) {
            errors[w] = std::current_exception();
            stop.store(true);
        }
        const std::lock_guard lock(mutex);
        if (--running == 0) finished.notify_one();
    };

    bool interrupted = false;
    {
        py::gil_scoped_release release;
        std::vector<std::thread> pool;
        pool.reserve(threads);
        try {
            for (unsigned w = 0; w < threads; ++w)
                pool.emplace_back(worker, w);
        } catch (...) {
            // No more threads to be had: the ones started finish the points between them.
            if (pool.empty()) throw;
            const std::lock_guard lock(mutex);
            running -= threads - static_cast<unsigned>(pool.size());
        }
        std::unique_lock lock(mutex);
        while (!finished.wait_for(lock, std::chrono::milliseconds(100), [&] { return running == 0; })) {
            lock.unlock();
            {
                py::gil_scoped_acquire acquire;
                if (PyErr_CheckSignals() != 0) interrupted = true;
            }
            lock.lock();
            if (interrupted) {
                stop.store(true);
                break;
            }
        }
        lock.unlock();
        for (std::thread& t : pool)
            t.join();
    }
    if (interrupted) throw py::error_already_set();
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);

    std::vector<Failure> all;
    for (std::vector<Failure>& f : failures)
        std::move(f.begin(), f.end(), std::back_inserter(all));
    std::sort(all.begin(), all.end(), [](const Failure& a, const Failure& b) { return a.index < b.index; });
    return all;
}

using InArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

// Evaluates flat arrays of equal length; returns (values[len(columns), n], flags[n], failures as a
// list of (index, message)).
// The salt of a call: ion molalities by name and the salt model's name.
co2::SolubilityModel solubilityModelOf(const std::string& name) {
    const auto model = co2::solubilityModelOfName(name);
    if (!model)
        throw py::value_error("model: \"" + name +
                              "\" is not one of own, spycher-pruess-2003, spycher-pruess-2003-sw");
    return *model;
}

co2::Brine brineOf(const std::map<std::string, double>& ions, const std::string& model) {
    co2::Brine b;
    if (!co2::saltModelOfName(model, b.model))
        throw py::value_error("salt_model: \"" + model +
                              "\" is not one of duan-sun-2003, rumpf-1994, spycher-pruess-2010");
    for (const auto& [name, value] : ions) {
        double* slot = name == "Na"    ? &b.Na
                       : name == "K"   ? &b.K
                       : name == "Ca"  ? &b.Ca
                       : name == "Mg"  ? &b.Mg
                       : name == "Cl"  ? &b.Cl
                       : name == "SO4" ? &b.SO4
                                       : nullptr;
        if (slot == nullptr)
            throw py::value_error("ions: \"" + name + "\" is not one of Na, K, Ca, Mg, Cl, SO4");
        *slot = value;
    }
    return b;
}

py::tuple evaluateMany(int curve, const InArray& t, const std::optional<InArray>& p,
                       const std::optional<InArray>& m, const std::vector<int>& columns, bool exact,
                       unsigned threads, bool raw, const std::optional<InArray>& nacl,
                       const std::map<std::string, double>& ions, const std::string& saltModel,
                       const std::string& model) {
    Job job;
    job.solubilityModel = solubilityModelOf(model);
    job.curve = curve;
    job.count = static_cast<std::size_t>(t.size());
    if ((curve == 0) != p.has_value()) throw py::value_error("pressure: given with a curve, or missing");
    if ((p && static_cast<std::size_t>(p->size()) != job.count) ||
        (m && static_cast<std::size_t>(m->size()) != job.count))
        throw py::value_error("the input arrays differ in length");
    for (int q : columns)
        if (q < 0 || q >= co2::kQuantityCount) throw py::value_error("columns: index out of range");
    job.t = t.data();
    job.p = p ? p->data() : nullptr;
    job.m = m ? m->data() : nullptr;
    if (nacl && static_cast<std::size_t>(nacl->size()) != job.count)
        throw py::value_error("the input arrays differ in length");
    job.nacl = nacl ? nacl->data() : nullptr;
    job.brine = brineOf(ions, saltModel);
    job.columns = columns;
    job.arithmetic = exact ? co2::Arithmetic::exact : co2::Arithmetic::fast;
    job.raw = raw;

    py::array_t<double> values(
        {static_cast<py::ssize_t>(columns.size()), static_cast<py::ssize_t>(job.count)});
    py::array_t<std::uint32_t> flags(static_cast<py::ssize_t>(job.count));
    job.values = values.mutable_data();
    job.flags = flags.mutable_data();

    threads = std::max(1u, threads);
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(1, job.count / 16)));
    const std::vector<Failure> failures = job.count == 0 ? std::vector<Failure>{} : run(job, threads);

    py::list failed;
    for (const Failure& f : failures)
        failed.append(py::make_tuple(f.index, f.message));
    return py::make_tuple(values, flags, failed);
}

py::tuple evaluateOne(int curve, double t, double p, double m, bool exact, bool raw, double nacl,
                      const std::map<std::string, double>& ions, const std::string& saltModel,
                      const std::string& model) {
    co2::Options options;
    options.arithmetic = exact ? co2::Arithmetic::exact : co2::Arithmetic::fast;
    options.raw = raw;
    co2::Point point = curve != 0 ? co2::Point::onCurve(curve, t, m) : co2::Point::at(t, p, m);
    point.brine = brineOf(ions, saltModel);
    point.solubilityModel = solubilityModelOf(model);
    point.brine.Na += nacl;
    point.brine.Cl += nacl;
    const co2::Result r = co2::run(point, options);
    py::list values;
    for (double v : r.values)
        values.append(v);
    py::object message = py::none();
    if (!r.ok()) message = py::str(r.message.empty() ? "error " + std::to_string(r.error) : r.message);
    return py::make_tuple(values, r.flags, message);
}

const char* dimensionName(co2::Dimension d) {
    switch (d) {
    case co2::Dimension::pressure:
        return "pressure";
    case co2::Dimension::density:
        return "density";
    case co2::Dimension::temperature:
        return "temperature";
    case co2::Dimension::none:
        break;
    }
    return "";
}

// Values in the report's unit of `kind`, in the unit `name`: the conversion co2table writes.
py::array_t<double> toUnit(const std::string& kind, const std::string& name,
                           py::array_t<double, py::array::c_style | py::array::forcecast> values) {
    const co2::UnitInfo* unit = nullptr;
    for (const co2::UnitInfo& u : co2::kUnits)
        if (kind == dimensionName(u.dimension) && u.name == name) unit = &u;
    if (unit == nullptr) throw py::value_error("to_unit: no " + kind + " unit \"" + name + "\"");
    py::array_t<double> out(values.request().shape);
    const double* in = values.data();
    double* o = out.mutable_data();
    for (py::ssize_t i = 0; i < values.size(); ++i)
        o[i] = co2::toUnit(in[i], *unit);
    return out;
}

} // namespace

PYBIND11_MODULE(_co2calc, mod) {
    mod.doc() =
        "The co2model library: flat arrays of state points on worker threads (see the co2calc package)";

    py::list quantities;
    for (const co2::QuantityInfo& q : co2::quantities())
        quantities.append(py::make_tuple(std::string(q.name), std::string(q.unit), std::string(q.description),
                                         groupName(q.group)));
    mod.attr("quantities") = quantities;

    py::list flags;
    for (const co2::FlagInfo& f : co2::flags())
        flags.append(py::make_tuple(std::string(f.name), f.bit, std::string(f.description)));
    mod.attr("flags") = flags;

    py::list curves;
    for (const co2::CurveInfo& c : co2::curves())
        curves.append(py::make_tuple(c.option, std::string(c.name), c.tMin, c.tMax));
    mod.attr("curves") = curves;

    py::list units;
    for (const co2::UnitInfo& u : co2::kUnits)
        units.append(py::make_tuple(dimensionName(u.dimension), std::string(u.name), std::string(u.symbol)));
    mod.attr("units") = units;
    py::dict kinds; // quantity name -> the kind of unit it is in, for those that have one
    for (const co2::QuantityInfo& q : co2::quantities())
        if (const co2::Dimension d = co2::dimensionOf(q.unit); d != co2::Dimension::none)
            kinds[py::str(std::string(q.name))] = dimensionName(d);
    mod.attr("quantity_kinds") = kinds;
    mod.def("to_unit", &toUnit, py::arg("kind"), py::arg("name"), py::arg("values"),
            "Values in the report's unit of kind (MPa, g/cm3, C) in unit `name`, as co2table converts them.");

    mod.attr("library_version") = co2::version();
    mod.attr("hardware_threads") = std::max(1u, std::thread::hardware_concurrency());

    // The library's conversion, so that a mass fraction means the same in every face.
    mod.def("nacl_molality_of_mass_fraction",
            py::vectorize([](double w) { return co2::naclMolalityOfMassFraction(w); }), py::arg("w"),
            "NaCl molality (mol/kg water) of NaCl mass fractions w; NaN outside [0, 1).");
    mod.def("mass_fraction_problem", &co2::massFractionProblem, py::arg("w"),
            "Why w is no NaCl mass fraction, or an empty string.");
    mod.def("evaluate_one", &evaluateOne, py::arg("curve"), py::arg("t"), py::arg("p"), py::arg("m"),
            py::arg("exact"), py::arg("raw"), py::arg("nacl"), py::arg("ions"), py::arg("salt_model"),
            py::arg("model"),
            "One state point: (40 values, flag bits, message or None); curve 0 for (t, p).");
    mod.def("evaluate_many", &evaluateMany, py::arg("curve"), py::arg("t"), py::arg("p"), py::arg("m"),
            py::arg("columns"), py::arg("exact"), py::arg("threads"), py::arg("raw"), py::arg("nacl"),
            py::arg("ions"), py::arg("salt_model"), py::arg("model"),
            "Flat arrays of state points: (values[columns, n], flags[n], [(index, message)]).");
}
