#include "app/table/model_point.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "model/aqueous.h"
#include "model/co2.h"
#include "model/phase_curves.h"
#include "model/printed.h"
#include "model/solubility.h"
#include "model/water.h"
#include "core/errors.h"
#include "core/math.h"

namespace co2::table {
namespace {

struct RecordedError {
    std::uint32_t code = 0;
    std::uint32_t line = 0;
};

class ModelWorker final : public PointWorker {
  public:
    explicit ModelWorker(std::shared_ptr<const Model> prototype) : prototype_(std::move(prototype)) {
        // The box of this worker's error state: note the first error of the point and go on, as
        // a user answering Yes would, so the point runs to its end like the calculator's pass.
        state_.box = [this](const std::string&, const std::string&, rt::BoxButtons) {
            if (recorded_.code == 0) {
                recorded_.code = state_.pendingError.load(std::memory_order_relaxed);
                recorded_.line = state_.statementLine.load(std::memory_order_relaxed);
            }
            return rt::BoxAnswer::yes;
        };
    }

    void evaluate(const PointSpec& pt, PointResult& result) override;

  private:
    bool runModel(const PointSpec& pt, PointResult& result);

    std::shared_ptr<const Model> prototype_;
    Model model_;
    // The model of the last state point just after its solubility: the points of a molality list
    // differ only in the finite-concentration block, so they continue from this copy. The state
    // is exactly what the full run would reach, so the values are the same to the last bit.
    Model saturated_;
    bool haveSaturated_ = false;
    PointSpec saturatedSpec_;
    rt::ErrorState state_;
    RecordedError recorded_;
};

void fillValues(const Model& md, PointResult& r) {
    using rt::ext;
    const auto d = [](ext v) { return static_cast<double>(v); };
    // Each value is formed as the report forms it for printing (extended where it is extended),
    // then rounded once to double.
    r.value(Value::T_C) = md.T_C;
    r.value(Value::P) = d(printed::pressureMPa(md));
    r.value(Value::rho_H2O) = md.rhoH2O;
    r.value(Value::V_H2O) = md.VH2O;
    r.value(Value::S_H2O) = md.SH2O;
    r.value(Value::Cp_H2O) = md.CpH2O;
    r.value(Value::g_H2O) = md.gH2O;
    r.value(Value::h_H2O) = md.hH2O;
    r.value(Value::f_H2O) = d(printed::fugacityH2OMPa(md));
    r.value(Value::phi_H2O) = d(printed::fugacityCoeffH2O(md));
    r.value(Value::y_CO2_vap) = md.yCO2Vap;
    r.value(Value::rho_CO2) = md.rhoCO2;
    r.value(Value::V_CO2) = md.VCO2;
    r.value(Value::S_CO2) = md.SCO2;
    r.value(Value::Cp_CO2) = md.CpCO2;
    r.value(Value::g_CO2) = md.gCO2;
    r.value(Value::h_CO2) = md.hCO2;
    r.value(Value::f_CO2) = d(printed::fugacityCO2MPa(md));
    r.value(Value::phi_CO2) = d(printed::fugacityCoeffCO2(md));
    r.value(Value::kH) = d(printed::henryMPa(md));
    r.value(Value::ln_kH) = d(printed::lnHenryMPa(md));
    r.value(Value::Gaq) = md.Gaq;
    r.value(Value::S2) = md.S2;
    r.value(Value::V2) = md.V2;
    r.value(Value::Cp2) = md.Cp2;
    r.value(Value::sol_x) = d(printed::solubilityMolePercent(md));
    r.value(Value::sol_m) = md.mSat;
    r.value(Value::sol_g) = d(printed::solubilityGramsPerKg(md));
    r.value(Value::m) = md.m;
    r.value(Value::gamma_CO2) = d(printed::activityCoeffCO2(md));
    r.value(Value::phi_osm) = md.phiOsm;
    r.value(Value::a_H2O) = d(printed::activityH2O(md));
    r.value(Value::gamma_H2O) = d(printed::activityCoeffH2O(md));
    r.value(Value::Sex_H2O) = md.SexH2O;
    r.value(Value::Cpex_H2O) = md.CpexH2O;
    r.value(Value::Sex_CO2) = md.SexCO2;
    r.value(Value::Cpex_CO2) = md.CpexCO2;
    r.value(Value::Vex) = d(printed::excessVolume(md));
    r.value(Value::V_sol) = md.Vsol;
    r.value(Value::rho_sol) = md.rhoSol;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameStatePoint(const PointSpec& a, const PointSpec& b) {
    return a.curve == b.curve && sameBits(a.T_C, b.T_C) && (a.curve != 0 || sameBits(a.P, b.P));
}

// The calculator's range warnings, by its own tests: the temperature bounds compare in single
// precision, the pressure bound in double with no lower bound.

bool ModelWorker::runModel(const PointSpec& pt, PointResult& result) {
    using rt::ext;
    Model& md = model_;
    md.T_C = pt.T_C;
    md.T = static_cast<double>(ext{md.T_C} + Constants::kelvinOffset);
    result.value(Value::T_C) = pt.T_C;
    if (pt.curve == 0) {
        md.P = pt.P;
        md.P_bar = static_cast<double>(ext{md.P} * 10);
    } else {
        if (!curveAccepts(pt.curve, md.T_C)) {
            result.error = curveRefusal(pt.curve);
            return false;
        }
        curvePressureOf(pt.curve, md);
        result.value(Value::P) = static_cast<double>(ext{md.P_bar} / 10); // kept should the run fail
    }
    if (haveSaturated_ && sameStatePoint(pt, saturatedSpec_)) {
        md = saturated_;
    } else {
        haveSaturated_ = false;
        // The model run, in the calculator's order.
        waterProperties(md);
        co2Run(md);
        infiniteDilution(md);
        solubility(md);
        if (recorded_.code == 0 && state_.pendingError.load(std::memory_order_relaxed) == 0) {
            saturated_ = md;
            saturatedSpec_ = pt;
            haveSaturated_ = true;
        }
    }
    md.m = pt.molalityGiven ? pt.molality : md.mSat;
    if (md.m == 0) md.m = kSmallestMolality;
    finiteConcentration(md);

    fillValues(md, result);
    result.setFlag(Flag::temperatureRange, temperatureOutOfRange(md.T_C));
    result.setFlag(Flag::pressureRange, pressureOutOfRange(md.P_bar));
    result.setFlag(Flag::belowSaturation, belowSaturation(md));
    result.setFlag(Flag::molality, md.m > md.mSat);
    result.setFlag(Flag::hydrate, inHydrateField(md));
    switch (co2FluidPhase(md)) {
    case Co2Fluid::gas:
        result.co2Phase = Co2Phase::gas;
        break;
    case Co2Fluid::liquid:
        result.co2Phase = Co2Phase::liquid;
        break;
    case Co2Fluid::supercritical:
        result.co2Phase = Co2Phase::supercritical;
        break;
    }
    return true;
}

void ModelWorker::evaluate(const PointSpec& pt, PointResult& result) {
    result = PointResult{};
    result.values.fill(std::numeric_limits<double>::quiet_NaN());
    result.value(Value::T_C) = pt.T_C;
    if (pt.curve == 0) result.value(Value::P) = pt.P;
    if (pt.molalityGiven) result.value(Value::m) = pt.molality;

    model_ = *prototype_;
    recorded_ = RecordedError{};
    state_.pendingError.store(0, std::memory_order_relaxed);
    state_.eventFlag.store(0, std::memory_order_relaxed);
    bool computed = false;
    {
        rt::ErrorScope scope(state_);
        computed = runModel(pt, result);
        // An error raised by the last statement of the run has not met a statement check yet.
        if (recorded_.code == 0 && state_.pendingError.load(std::memory_order_relaxed) != 0)
            recorded_.code = state_.pendingError.load(std::memory_order_relaxed);
    }
    // A failed row keeps only its inputs (and a curve's pressure): nothing the failed run computed.
    const auto keepOnlyInputs = [&] {
        const double curvePressure = pt.curve != 0 ? result.value(Value::P) : 0;
        result.values.fill(std::numeric_limits<double>::quiet_NaN());
        result.value(Value::T_C) = pt.T_C;
        result.value(Value::P) = pt.curve != 0 ? curvePressure : pt.P;
        if (pt.molalityGiven) result.value(Value::m) = pt.molality;
        result.flags = 0;
        result.co2Phase = Co2Phase::none;
        result.hasValues = false;
    };
    if (recorded_.code != 0) {
        keepOnlyInputs();
        result.error =
            "runtime error " + std::to_string(recorded_.code) + ": " + rt::errorMessage(recorded_.code);
        if (recorded_.line != 0) result.error += " (statement " + std::to_string(recorded_.line) + ")";
        // The usual cause, named for the user: no liquid water, hence no solubility.
        if (belowSaturation(model_)) result.error += "; the pressure is below the water saturation pressure";
        return;
    }
    if (!computed) return;
    result.hasValues = true;
    for (double v : result.values) {
        if (!std::isfinite(v)) {
            keepOnlyInputs();
            result.error = "non-finite result";
            break;
        }
    }
}

} // namespace

std::string curveRefusal(int curve) {
    std::string_view text = curveWarning(curve);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.starts_with("WARNING:")) text.remove_prefix(8);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return "curve " + std::to_string(curve) + ": " + std::string(text);
}

ModelEvaluator::ModelEvaluator() {
    auto prototype = std::make_shared<Model>();
    loadConstants(prototype->c);
    prototype_ = std::move(prototype);
}

std::unique_ptr<PointWorker> ModelEvaluator::makeWorker() const {
    return std::make_unique<ModelWorker>(prototype_);
}

} // namespace co2::table
