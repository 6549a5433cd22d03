#include "app/table/model_point.h"

#include <optional>

#include "co2model.hpp"

namespace co2::table {
namespace {

class ModelWorker final : public PointWorker {
  public:
    void evaluate(const PointSpec& pt, PointResult& result) override;

  private:
    Evaluator& evaluatorFor(bool exact, bool raw) {
        std::optional<Evaluator>& e = evaluators_[exact ? 1 : 0][raw ? 1 : 0];
        if (!e) e.emplace(Options{exact ? Arithmetic::exact : Arithmetic::fast, raw, kAtSolubility});
        return *e;
    }

    std::optional<Evaluator> evaluators_[2][2];
};

void ModelWorker::evaluate(const PointSpec& pt, PointResult& result) {
    const Result r = evaluatorFor(pt.exact, pt.raw).run(pt.point);
    result = PointResult{};
    result.values = r.values;
    result.hasValues = r.ok();
    result.error = r.message;
    if (!r.ok()) return;
    result.flags = r.flags;
    if ((r.flags & co2Gas) != 0) result.co2Phase = Co2Phase::gas;
    if ((r.flags & co2Liquid) != 0) result.co2Phase = Co2Phase::liquid;
    if ((r.flags & co2Supercritical) != 0) result.co2Phase = Co2Phase::supercritical;
}

} // namespace

std::unique_ptr<PointWorker> ModelEvaluator::makeWorker() const {
    return std::make_unique<ModelWorker>();
}

} // namespace co2::table
