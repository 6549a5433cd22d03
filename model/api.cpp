// The library's evaluation: one Point through the model's sections (model/run.h), with the
// quantities read from the quantity table, the flags formed and the masking rule applied. A
// runtime error never unwinds: the worker's own error state records the first one (answering the
// statement check's box with "go on", as a user pressing Yes would) and it becomes the result's
// error.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "co2model.hpp"
#include "core/errors.h"
#include "model/aqueous.h"
#include "model/brine.h"
#include "model/co2.h"
#include "model/flags.h"
#include "model/model.h"
#include "model/phase_curves.h"
#include "model/quantities.h"
#include "model/run.h"
#include "model/solubility.h"
#include "model/spycher_pruess.h"
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
constexpr std::size_t kIndexVapour = quantityIndexOf("y_CO2_vap");
constexpr std::size_t kIndexSolM = quantityIndexOf("sol_m");
constexpr std::size_t kIndexSolG = quantityIndexOf("sol_g");
constexpr std::size_t kIndexSolX = quantityIndexOf("sol_x");
constexpr std::size_t kIndexNaCl = quantityIndexOf("m_NaCl");
constexpr std::size_t kIndexGammaSalt = quantityIndexOf("gamma_salt");
constexpr std::size_t kIndexYH2O = quantityIndexOf("y_H2O");
constexpr std::size_t kIndexWH2O = quantityIndexOf("w_H2O_CO2phase");
static_assert(kIndexYH2O < kReportedCount && kIndexWH2O < kReportedCount);
constexpr std::size_t kIndexMassFraction = quantityIndexOf("w_CO2");
static_assert(kIndexGammaSalt < kReportedCount && kIndexNaCl < kReportedCount &&
              kIndexMassFraction < kReportedCount);
static_assert(kIndexT < kReportedCount && kIndexP < kReportedCount && kIndexM < kReportedCount &&
              kIndexVapour < kReportedCount);

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string numberText(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

constexpr bool flagsInBitOrder() {
    for (std::size_t i = 0; i < std::size(kFlags); ++i)
        if (kFlags[i].bit != 1u << i || !terminated(kFlags[i].name) || !terminated(kFlags[i].description))
            return false;
    return true;
}
static_assert(flagsInBitOrder());
constexpr bool curvesByOption() {
    for (std::size_t i = 0; i < std::size(kCurves); ++i)
        if (kCurves[i].option != static_cast<int>(i) + 1 || !terminated(kCurves[i].name)) return false;
    return std::size(kCurves) == 4;
}
static_assert(curvesByOption());

// Solubility and solution values describe no real solution where noSolubility is set, and the
// vapour estimate none where there is no liquid water to be in equilibrium with.
bool maskedWhere(std::size_t index, unsigned flags, bool molalityGiven) {
    if (index == kIndexM && molalityGiven) return false; // an input, shown as given
    const Group group = kQuantities[index].group;
    if ((flags & noSolubility) != 0 && (group == Group::solubility || group == Group::solution)) return true;
    return index == kIndexVapour && (flags & warnSaturation) != 0;
}

} // namespace

std::string pointProblem(const Point& point) {
    if (!std::isfinite(point.temperature))
        return "temperature " + numberText(point.temperature) + " C is not a finite number";
    if (!point.curve) {
        if (!std::isfinite(point.pressure))
            return "pressure " + numberText(point.pressure) + " MPa is not a finite number";
        if (point.pressure < 0) return "pressure " + numberText(point.pressure) + " MPa is negative";
    } else if (*point.curve < 1 || *point.curve > 4) {
        return "curve option " + std::to_string(*point.curve) + " is not one of 1, 2, 3, 4";
    }
    if (!std::isnan(point.molality)) {
        if (!std::isfinite(point.molality))
            return "molality " + numberText(point.molality) + " mol/kg is not a finite number";
        if (point.molality < 0) return "molality " + numberText(point.molality) + " mol/kg is negative";
    }
    if (static_cast<unsigned>(point.solubilityModel) >
        static_cast<unsigned>(SolubilityModel::spycherPruess2003SpanWagner))
        return "solubility model " + std::to_string(static_cast<unsigned>(point.solubilityModel)) +
               " is not one of 0, 1, 2";
    return brineProblem(point.brine);
}

std::string_view solubilityModelName(SolubilityModel model) noexcept {
    switch (model) {
    case SolubilityModel::spycherPruess2003:
        return "spycher-pruess-2003";
    case SolubilityModel::spycherPruess2003SpanWagner:
        return "spycher-pruess-2003-sw";
    case SolubilityModel::own:
        break;
    }
    return "own";
}

std::optional<SolubilityModel> solubilityModelOfName(std::string_view name) noexcept {
    for (SolubilityModel m : {SolubilityModel::own, SolubilityModel::spycherPruess2003,
                              SolubilityModel::spycherPruess2003SpanWagner})
        if (solubilityModelName(m) == name) return m;
    return std::nullopt;
}

std::span<const FlagInfo> flags() noexcept {
    return kFlags;
}

std::span<const CurveInfo> curves() noexcept {
    return kCurves;
}

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
    explicit Impl(const Options& options) : raw(options.raw) {
        core::ErrorScope scope(state);
        loadConstants(prototype.c);
        prototype.fastArithmetic = options.arithmetic == Arithmetic::fast;
        model = prototype; // the tables, once: each point then copies only the state
        saturated = prototype;
    }

    Result run(const Point& point);
    bool compute(const Point& point, Result& r);
    void readOut(Result& r) const;
    bool inBrine(const Point& point, Result& r) const;
    void spycherPruess(const Point& point, Result& r) const;

    bool errorSoFar() const { return state.firstOrPending() != 0; }

    // Keeps the model as it stands after the solubility of a point that met no error.
    class Hooks final : public RunHooks {
      public:
        Hooks(Impl& impl, double molality) : impl_(impl), molality_(molality) {}
        void after(Section section, Model& md) override {
            if (section != Section::solubility || impl_.errorSoFar()) return;
            copyState(impl_.saturated, md);
            impl_.haveSaturated = true;
        }
        void chooseMolality(Model& md) override { md.m = molalityFor(molality_, md); }

      private:
        Impl& impl_;
        double molality_;
    };

    bool raw;
    Model prototype; // constants loaded, read only
    Model model;     // the prototype's tables, never written: a point copies only the state
    // The model of the last state point right after its solubility: the points of a molality list
    // differ only in the solution section and continue from this copy, which holds exactly what
    // the full run reaches, so their values are the same to the last bit.
    Model saturated;
    bool haveSaturated = false;
    std::optional<int> saturatedCurve;
    double saturatedT = 0, saturatedP = 0;

    core::ErrorState state; // records the first error of a point and its statement
};

// The salting-out layer over the pure-water solubility at the same temperature and total
// pressure. The solution quantities assume a pure-water solvent: a brine has none of them.
bool Evaluator::Impl::inBrine(const Point& point, Result& r) const {
    const BrineSolubility b = brineSolubility(point.brine, model.T, pressureMPaOf(model), model.mSat);
    if (!std::isfinite(b.gamma) || !std::isfinite(b.sol_m)) return false;
    r.values[kIndexSolM] = b.sol_m;
    r.values[kIndexSolG] = b.sol_g;
    r.values[kIndexSolX] = b.sol_x;
    r.values[kIndexMassFraction] = b.w_CO2;
    r.values[kIndexNaCl] = std::min(point.brine.Na, point.brine.Cl);
    r.values[kIndexGammaSalt] = b.gamma;
    const double y = sp2003::waterContent(model.T, model.P_bar, point.brine, b.gamma);
    r.values[kIndexYH2O] = y;
    r.values[kIndexWH2O] = waterMassFractionOf(y);
    const bool molalityGiven = !std::isnan(point.molality);
    for (std::size_t i = 0; i < kReportedCount; ++i)
        if (kQuantities[i].group == Group::solution && !(i == kIndexM && molalityGiven)) r.values[i] = kNaN;
    r.flags &= ~warnMolality;
    if (molalityGiven && point.molality > b.sol_m) r.flags |= warnMolality;
    if (point.brine.indicative()) r.flags |= saltIndicative;
    return true;
}

// The second solubility model replaces the solubility quantities; the solution quantities were
// formed at this model's solubility and are dropped unless the molality was given. A brine goes
// through the same salting-out layer as this model's solubility.
void Evaluator::Impl::spycherPruess(const Point& point, Result& r) const {
    const sp2003::Volume volume = point.solubilityModel == SolubilityModel::spycherPruess2003
                                      ? sp2003::Volume::redlichKwong
                                      : sp2003::Volume::given;
    const sp2003::Solubilities s = sp2003::solve(model.T, model.P_bar, volume, model.VCO2);
    r.values[kIndexSolM] = s.m_CO2;
    r.values[kIndexSolX] = 100 * s.x_CO2;
    r.values[kIndexSolG] = s.m_CO2 * Constants::M_CO2;
    r.values[kIndexMassFraction] = r.values[kIndexSolG] / (r.values[kIndexSolG] + 1000);
    double gamma = 1;
    if (!point.brine.pure()) {
        const BrineSolubility b = brineSolubility(point.brine, model.T, pressureMPaOf(model), s.m_CO2);
        gamma = b.gamma;
        r.values[kIndexSolM] = b.sol_m;
        r.values[kIndexSolG] = b.sol_g;
        r.values[kIndexSolX] = b.sol_x;
        r.values[kIndexMassFraction] = b.w_CO2;
    }
    const double y = sp2003::solve(model.T, model.P_bar, volume, model.VCO2, point.brine, gamma).y_H2O;
    r.values[kIndexYH2O] = y > 0 && y < 1 ? y : kNaN;
    r.values[kIndexWH2O] = waterMassFractionOf(r.values[kIndexYH2O]);
    const bool molalityGiven = !std::isnan(point.molality);
    for (std::size_t i = 0; i < kReportedCount; ++i)
        if (kQuantities[i].group == Group::solution && !(i == kIndexM && molalityGiven)) r.values[i] = kNaN;
    r.flags &= ~(warnMolality | noSolubility);
    if (belowSaturation(model) || !(r.values[kIndexSolM] >= 0)) r.flags |= noSolubility;
    if (molalityGiven && point.molality > r.values[kIndexSolM]) r.flags |= warnMolality;
    if (!sp2003::inRange(model.T_C, model.P_bar)) r.flags |= outsideSolubilityModel;
}

// The sections at the point; false when a curve refuses the temperature.
bool Evaluator::Impl::compute(const Point& point, Result& r) {
    setTemperature(model, point.temperature);
    if (!point.curve) {
        setPressure(model, point.pressure);
    } else {
        if (!setCurvePressure(model, *point.curve)) return false;
        r.values[kIndexP] = pressureMPaOf(model); // the curve's pressure, kept should the run fail
    }
    const bool samePoint = haveSaturated && point.curve == saturatedCurve &&
                           sameBits(point.temperature, saturatedT) &&
                           (point.curve || sameBits(point.pressure, saturatedP));
    Hooks hooks(*this, point.molality);
    if (samePoint) {
        copyState(model, saturated);
        runSections(model, hooks, Section::solution);
    } else {
        haveSaturated = false;
        saturatedCurve = point.curve;
        saturatedT = point.temperature;
        saturatedP = point.pressure;
        runSections(model, hooks);
    }
    return true;
}

void Evaluator::Impl::readOut(Result& r) const {
    for (std::size_t i = 0; i < kReportedCount; ++i)
        r.values[i] = quantityValue(kQuantities[i], model);
    unsigned bits = 0;
    if (temperatureOutOfRange(model.T_C)) bits |= warnTemperature;
    if (pressureOutOfRange(model.P_bar)) bits |= warnPressure;
    if (belowSaturation(model)) bits |= warnSaturation;
    if (concentrationAboveSolubility(model)) bits |= warnMolality;
    if (belowSaturation(model) || model.mSat < 0) bits |= noSolubility;
    if (inHydrateField(model)) bits |= hydrate;
    switch (co2FluidPhase(model)) {
    case Co2Fluid::gas:
        bits |= co2Gas;
        break;
    case Co2Fluid::liquid:
        bits |= co2Liquid;
        break;
    case Co2Fluid::supercritical:
        bits |= co2Supercritical;
        break;
    }
    r.flags = bits;
}

Result Evaluator::Impl::run(const Point& point) {
    Result r;
    r.values.fill(kNaN);
    r.values[kIndexT] = point.temperature;
    if (!point.curve) r.values[kIndexP] = point.pressure;
    const bool molalityGiven = !std::isnan(point.molality);
    if (molalityGiven) r.values[kIndexM] = point.molality;

    if (std::string problem = pointProblem(point); !problem.empty()) {
        r.error = kErrorBadArgument;
        r.message = std::move(problem);
        return r;
    }

    copyState(model, prototype);
    state.clear();
    bool computed = false;
    {
        core::ErrorScope scope(state);
        computed = compute(point, r);
        if (computed) readOut(r);
    }
    // An error of the run's last statement has met no statement end: it is still pending.
    const std::uint32_t code = state.firstOrPending();
    const std::uint32_t line = state.firstStatement.load(std::memory_order_relaxed);

    // A failed point keeps its inputs (and a curve's pressure), nothing the failed run computed.
    const auto keepOnlyInputs = [&] {
        const double pressure = r.values[kIndexP];
        r.values.fill(kNaN);
        r.values[kIndexT] = point.temperature;
        r.values[kIndexP] = pressure;
        if (molalityGiven) r.values[kIndexM] = point.molality;
        r.flags = 0;
    };
    if (!computed) {
        r.error = kErrorOutsideCurve;
        r.message = curveRefusalText(*point.curve);
        return r;
    }
    if (code != 0) {
        keepOnlyInputs();
        r.error = static_cast<int>(code);
        r.statement = line;
        r.message = "runtime error " + std::to_string(code) + ": " + core::errorMessage(code);
        if (line != 0) r.message += " (statement " + std::to_string(line) + ")";
        // The usual cause, named for the user: no liquid water, hence no solubility.
        if (belowSaturation(model)) r.message += "; the pressure is below the water saturation pressure";
        return r;
    }
    for (std::size_t i = 0; i < kReportedCount; ++i) {
        // The water content is not given where its formulation leaves (0, 1): that is no failure.
        if (!std::isfinite(r.values[i]) && i != kIndexYH2O && i != kIndexWH2O) {
            keepOnlyInputs();
            r.error = kErrorNonFinite;
            r.message = "non-finite result";
            return r;
        }
    }
    if (!point.brine.pure() && !inBrine(point, r)) {
        keepOnlyInputs();
        r.error = kErrorNonFinite;
        r.message = "non-finite salting-out coefficient";
        return r;
    }
    if (point.solubilityModel != SolubilityModel::own) spycherPruess(point, r);
    if (!raw)
        for (std::size_t i = 0; i < kReportedCount; ++i)
            if (maskedWhere(i, r.flags, molalityGiven)) r.values[i] = kNaN;
    return r;
}

Evaluator::Evaluator(Arithmetic arithmetic) : Evaluator(Options{arithmetic, false, kAtSolubility}) {}
Evaluator::Evaluator(const Options& options) : impl_(std::make_unique<Impl>(options)) {}
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
        return failure(static_cast<int>(core::ErrorCode::outOfMemory), "");
    } catch (...) {
        return failure(static_cast<int>(core::ErrorCode::internalError), "");
    }
}

} // namespace

Result Evaluator::run(const Point& point) noexcept {
    return guarded([&] {
        if (!impl_) return failure(kErrorBadArgument, "the evaluator has been moved from");
        return impl_->run(point);
    });
}

Result Evaluator::evaluate(double t_celsius, double p_mpa, double molality) noexcept {
    return run(Point::at(t_celsius, p_mpa, molality));
}

Result Evaluator::evaluateCurve(int option, double t_celsius, double molality) noexcept {
    return run(Point::onCurve(option, t_celsius, molality));
}

Result run(const Point& point, const Options& options) noexcept {
    return guarded([&] { return Evaluator(options).run(point); });
}

Result evaluate(double t_celsius, double p_mpa, const Options& options) noexcept {
    return run(Point::at(t_celsius, p_mpa, options.molality), options);
}

Result evaluateCurve(int option, double t_celsius, const Options& options) noexcept {
    return run(Point::onCurve(option, t_celsius, options.molality), options);
}

} // namespace co2
