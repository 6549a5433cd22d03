// State points through the model library's interface (co2model.hpp).
#pragma once

#include <memory>

#include "app/table/point.h"

namespace co2::table {

// Each worker has its own library evaluators (one per arithmetic path, made when first needed):
// a point's values never depend on the points computed before it, a runtime error becomes that
// point's error text and never reaches another point, and the points of a molality list continue
// from their state point's solved model inside the evaluator.
class ModelEvaluator final : public PointEvaluator {
  public:
    std::unique_ptr<PointWorker> makeWorker() const override;
};

} // namespace co2::table
