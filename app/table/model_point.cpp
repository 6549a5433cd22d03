#include "app/table/model_point.h"

#include <limits>
#include <optional>

#include "co2model.hpp"

namespace co2::table {
namespace {

class ModelWorker final : public PointWorker {
  public:
    void evaluate(const PointSpec& pt, PointResult& result) override;

  private:
    Evaluator& evaluatorFor(bool exact) {
        std::optional<Evaluator>& e = exact ? exact_ : fast_;
        if (!e) e.emplace(exact ? Arithmetic::exact : Arithmetic::fast);
        return *e;
    }

    std::optional<Evaluator> fast_;
    std::optional<Evaluator> exact_;
};

void ModelWorker::evaluate(const PointSpec& pt, PointResult& result) {
    Evaluator& e = evaluatorFor(pt.exact);
    const double m = pt.molalityGiven ? pt.molality : std::numeric_limits<double>::quiet_NaN();
    const Result r = pt.curve == 0 ? e.evaluate(pt.T_C, pt.P, m) : e.evaluateCurve(pt.curve, pt.T_C, m);

    result = PointResult{};
    result.values = r.values;
    result.hasValues = r.ok();
    result.error = r.message;
    if (!r.ok()) return;
    result.setFlag(Flag::temperatureRange, (r.flags & warnTemperature) != 0);
    result.setFlag(Flag::pressureRange, (r.flags & warnPressure) != 0);
    result.setFlag(Flag::belowSaturation, (r.flags & warnSaturation) != 0);
    result.setFlag(Flag::molality, (r.flags & warnMolality) != 0);
    result.setFlag(Flag::hydrate, (r.flags & hydrate) != 0);
    if ((r.flags & co2Gas) != 0) result.co2Phase = Co2Phase::gas;
    if ((r.flags & co2Liquid) != 0) result.co2Phase = Co2Phase::liquid;
    if ((r.flags & co2Supercritical) != 0) result.co2Phase = Co2Phase::supercritical;
}

} // namespace

std::unique_ptr<PointWorker> ModelEvaluator::makeWorker() const {
    return std::make_unique<ModelWorker>();
}

} // namespace co2::table
