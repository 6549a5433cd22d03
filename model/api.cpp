// The library's evaluation: one state point through the model in the calculator's order, with the
// report's quantities read from the quantity table. A runtime error never unwinds: the worker's
// own error state records the first one (answering the statement check's box with "go on", as a
// user pressing Yes would) and it becomes the result's error.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include "co2model.hpp"
#include "core/errors.h"
#include "model/aqueous.h"
#include "model/co2.h"
#include "model/model.h"
#include "model/phase_curves.h"
#include "model/quantities.h"
#include "model/solubility.h"
#include "model/state_point.h"
#include "model/water.h"

#ifndef CO2MODEL_VERSION
#define CO2MODEL_VERSION "0.0.0"
#endif

namespace co2 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr std::array<QuantityInfo, kReportedCount> makeInfos() {
    std::array<QuantityInfo, kReportedCount> infos{};
    for (std::size_t i = 0; i < kReportedCount; ++i)
        infos[i] = {kQuantities[i].name, kQuantities[i].unit, kQuantities[i].description,
                    kQuantities[i].group};
    return infos;
}
constexpr auto kInfos = makeInfos();

// The C interface hands these texts out as C strings: each must end at a terminator.
constexpr bool terminated(std::string_view text) {
    return text.data()[text.size()] == '\0';
}
constexpr bool allTextsTerminated() {
    for (const Quantity& q : kQuantities)
        if (!terminated(q.name) || !terminated(q.unit) || !terminated(q.description)) return false;
    return true;
}
static_assert(allTextsTerminated());

constexpr std::size_t kIndexT = quantityIndexOf("T_C");
constexpr std::size_t kIndexP = quantityIndexOf("P");
constexpr std::size_t kIndexM = quantityIndexOf("m");
static_assert(kIndexT < kReportedCount && kIndexP < kReportedCount && kIndexM < kReportedCount);

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string numberText(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// Why an argument is refused, or empty when it is usable.
std::string argumentProblem(int curve, double T_C, double P, double molality) {
    if (!std::isfinite(T_C)) return "temperature " + numberText(T_C) + " C is not a finite number";
    if (curve == 0) {
        if (!std::isfinite(P)) return "pressure " + numberText(P) + " MPa is not a finite number";
        if (P < 0) return "pressure " + numberText(P) + " MPa is negative";
    } else if (curve < 1 || curve > 4) {
        return "curve option " + std::to_string(curve) + " is not one of 1, 2, 3, 4";
    }
    if (!std::isnan(molality)) {
        if (!std::isfinite(molality))
            return "molality " + numberText(molality) + " mol/kg is not a finite number";
        if (molality < 0) return "molality " + numberText(molality) + " mol/kg is negative";
    }
    return {};
}

} // namespace

std::span<const QuantityInfo> quantities() noexcept {
    return kInfos;
}

int quantityIndex(std::string_view name) noexcept {
    const std::size_t i = quantityIndexOf(name);
    return i < kReportedCount ? static_cast<int>(i) : -1;
}

double Result::operator[](std::string_view name) const noexcept {
    const int i = quantityIndex(name);
    return i < 0 ? kNaN : values[static_cast<std::size_t>(i)];
}

const char* version() noexcept {
    return CO2MODEL_VERSION;
}

namespace {

// The curve's warning without its screen indent: "curve 1: TEMPERATURE OUT OF ALLOwABLE RANGE
// -1.6 - +31.48 C".
std::string curveRefusalText(int option) {
    std::string_view text = curveWarning(option);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.starts_with("WARNING:")) text.remove_prefix(8);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return "curve " + std::to_string(option) + ": " + std::string(text);
}

} // namespace

struct Evaluator::Impl {
    explicit Impl(Arithmetic arithmetic) {
        rt::ErrorScope scope(state);
        loadConstants(prototype.c);
        prototype.fastArithmetic = arithmetic == Arithmetic::fast;
    }

    Result evaluate(int curve, double T_C, double P, double molality);
    bool run(int curve, double T_C, double P, double molality, Result& r);

    Model prototype; // constants loaded, read only
    Model model;
    // The model of the last state point right after its solubility: the points of a molality list
    // differ only in the finite-concentration block and continue from this copy, which holds
    // exactly what the full run reaches, so their values are the same to the last bit.
    Model saturated;
    bool haveSaturated = false;
    int saturatedCurve = 0;
    double saturatedT = 0, saturatedP = 0;

    rt::ErrorState state; // records the first error of a point and its statement
};

// The model in the calculator's order; false when a curve refuses the temperature.
bool Evaluator::Impl::run(int curve, double T_C, double P, double molality, Result& r) {
    setTemperature(model, T_C);
    if (curve == 0) {
        setPressure(model, P);
    } else {
        if (!setCurvePressure(model, curve)) return false;
        r.values[kIndexP] = pressureMPaOf(model); // the curve's pressure, kept should the run fail
    }
    const bool samePoint = haveSaturated && curve == saturatedCurve && sameBits(T_C, saturatedT) &&
                           (curve != 0 || sameBits(P, saturatedP));
    if (samePoint) {
        model = saturated;
    } else {
        haveSaturated = false;
        waterProperties(model);
        co2Run(model);
        infiniteDilution(model);
        solubility(model);
        if (state.firstOrPending() == 0) {
            saturated = model;
            saturatedCurve = curve;
            saturatedT = T_C;
            saturatedP = P;
            haveSaturated = true;
        }
    }
    model.m = std::isnan(molality) ? model.mSat : molality;
    if (model.m == 0) model.m = kSmallestMolality;
    finiteConcentration(model);

    for (std::size_t i = 0; i < kReportedCount; ++i)
        r.values[i] = quantityValue(kQuantities[i], model);
    unsigned flags = 0;
    if (temperatureOutOfRange(model.T_C)) flags |= warnTemperature;
    if (pressureOutOfRange(model.P_bar)) flags |= warnPressure;
    if (belowSaturation(model)) flags |= warnSaturation;
    if (concentrationAboveSolubility(model)) flags |= warnMolality;
    if (belowSaturation(model) || model.mSat < 0) flags |= noSolubility;
    if (inHydrateField(model)) flags |= hydrate;
    switch (co2FluidPhase(model)) {
    case Co2Fluid::gas:
        flags |= co2Gas;
        break;
    case Co2Fluid::liquid:
        flags |= co2Liquid;
        break;
    case Co2Fluid::supercritical:
        flags |= co2Supercritical;
        break;
    }
    r.flags = flags;
    return true;
}

Result Evaluator::Impl::evaluate(int curve, double T_C, double P, double molality) {
    Result r;
    r.values.fill(kNaN);
    r.values[kIndexT] = T_C;
    if (curve == 0) r.values[kIndexP] = P;
    if (!std::isnan(molality)) r.values[kIndexM] = molality;

    if (std::string problem = argumentProblem(curve, T_C, P, molality); !problem.empty()) {
        r.error = kErrorBadArgument;
        r.message = std::move(problem);
        return r;
    }

    model = prototype;
    state.clear();
    bool computed = false;
    {
        rt::ErrorScope scope(state);
        computed = run(curve, T_C, P, molality, r);
    }
    // An error of the run's last statement has met no statement end: it is still pending.
    const std::uint32_t code = state.firstOrPending();
    const std::uint32_t line = state.firstStatement.load(std::memory_order_relaxed);

    // A failed point keeps its inputs (and a curve's pressure), nothing the failed run computed.
    const auto keepOnlyInputs = [&] {
        const double pressure = r.values[kIndexP];
        r.values.fill(kNaN);
        r.values[kIndexT] = T_C;
        r.values[kIndexP] = pressure;
        if (!std::isnan(molality)) r.values[kIndexM] = molality;
        r.flags = 0;
    };
    if (!computed) {
        r.error = kErrorOutsideCurve;
        r.message = curveRefusalText(curve);
        return r;
    }
    if (code != 0) {
        keepOnlyInputs();
        r.error = static_cast<int>(code);
        r.statement = line;
        r.message = "runtime error " + std::to_string(code) + ": " + rt::errorMessage(code);
        if (line != 0) r.message += " (statement " + std::to_string(line) + ")";
        // The usual cause, named for the user: no liquid water, hence no solubility.
        if (belowSaturation(model)) r.message += "; the pressure is below the water saturation pressure";
        return r;
    }
    for (double v : r.values) {
        if (!std::isfinite(v)) {
            keepOnlyInputs();
            r.error = kErrorNonFinite;
            r.message = "non-finite result";
            break;
        }
    }
    return r;
}

Evaluator::Evaluator(Arithmetic arithmetic) : impl_(std::make_unique<Impl>(arithmetic)) {}
Evaluator::~Evaluator() = default;
Evaluator::Evaluator(Evaluator&&) noexcept = default;
Evaluator& Evaluator::operator=(Evaluator&&) noexcept = default;

namespace {

Result failure(int code, const char* message) {
    Result r;
    r.values.fill(kNaN);
    r.error = code;
    try {
        r.message = message;
    } catch (...) {
        // Out of memory for the message: the code says it all.
    }
    return r;
}

// Nothing escapes the interface: the only exception the evaluation can meet is a failed
// allocation (of the evaluator or a message), which becomes runtime error 7, "Out of memory".
template <typename F> Result guarded(F&& f) noexcept {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return failure(static_cast<int>(rt::ErrorCode::outOfMemory), "");
    } catch (...) {
        return failure(static_cast<int>(rt::ErrorCode::internalError), "");
    }
}

} // namespace

Result Evaluator::evaluate(double t_celsius, double p_mpa, double molality) noexcept {
    return guarded([&] {
        if (!impl_) return failure(kErrorBadArgument, "the evaluator has been moved from");
        return impl_->evaluate(0, t_celsius, p_mpa, molality);
    });
}

Result Evaluator::evaluateCurve(int option, double t_celsius, double molality) noexcept {
    return guarded([&] {
        if (!impl_) return failure(kErrorBadArgument, "the evaluator has been moved from");
        return impl_->evaluate(option, t_celsius, 0, molality);
    });
}

Result evaluate(double t_celsius, double p_mpa, const Options& options) noexcept {
    return guarded(
        [&] { return Evaluator(options.arithmetic).evaluate(t_celsius, p_mpa, options.molality); });
}

Result evaluateCurve(int option, double t_celsius, const Options& options) noexcept {
    return guarded(
        [&] { return Evaluator(options.arithmetic).evaluateCurve(option, t_celsius, options.molality); });
}

} // namespace co2
