// State points through the calculator's own model code.
#pragma once

#include <memory>
#include <string>

#include "model/model.h"
#include "app/table/point.h"

namespace co2::table {

// Runs the model functions in the calculator's order on a fresh model per point, so that a
// point's values never depend on the points computed before it on the same thread. Each worker
// has its own error state: a runtime error is recorded, answered with "continue" as the error
// box's Yes would, and turned into that point's error text.
class ModelEvaluator final : public PointEvaluator {
  public:
    ModelEvaluator();
    std::unique_ptr<PointWorker> makeWorker() const override;

  private:
    std::shared_ptr<const Model> prototype_; // constants loaded once, read-only afterwards
};

// The curve's refusal text without the screen indent, e.g. "TEMPERATURE OUT OF ALLOwABLE RANGE
// -1.6 - +31.48 C", as the error of a point that lies outside its curve's range.
std::string curveRefusal(int curve);

} // namespace co2::table
