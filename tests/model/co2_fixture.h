// A model with its constants loaded, run on a private error state that records every error met at
// a statement end, so that a raised error neither stops the test nor leaks into another one.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "model/aqueous.h"
#include "model/co2.h"
#include "model/model.h"
#include "model/run.h"
#include "model/solubility.h"
#include "model/state_point.h"
#include "model/water.h"

namespace co2::testing {

class ModelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        loadConstants(md->c);
        errors.observer = [this](std::uint32_t code, std::uint32_t statement) {
            raised.push_back({code, statement});
        };
        scope.emplace(errors);
    }
    void TearDown() override { scope.reset(); }

    // The state point as the calculator sets it: T = T_C + 273.15, P_bar = 10 P, in extended
    // precision and stored as doubles.
    void statePoint(double T_C, double P_MPa) { setStatePoint(*md, T_C, P_MPa); }
    // The pure-component sections and the infinite-dilution block, in the calculator's order: the
    // run stops before the solubility.
    void runThroughInfiniteDilution() {
        AtMolality hooks;
        runSections(*md, hooks, Section::water, Section::dilution);
    }
    // Every section, the solution at the default m = mSat.
    void runAtSolubility() {
        AtMolality hooks;
        runSections(*md, hooks);
    }
    bool wasRaised(std::uint32_t code) const {
        for (const auto& r : raised) {
            if (r.code == code) return true;
        }
        return false;
    }

    std::unique_ptr<Model> md = std::make_unique<Model>();
    core::ErrorState errors;
    struct Raised {
        std::uint32_t code;
        std::uint32_t statement;
    };
    std::vector<Raised> raised;
    std::optional<core::ErrorScope> scope;
};

} // namespace co2::testing
