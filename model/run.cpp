#include "model/run.h"

#include "model/aqueous.h"
#include "model/co2.h"
#include "model/solubility.h"
#include "model/water.h"

namespace co2 {

void runSections(Model& md, RunHooks& hooks, Section first, Section last) {
    const auto runs = [&](Section s) { return first <= s && s <= last; };
    if (runs(Section::water)) {
        waterProperties(md);
        hooks.after(Section::water, md);
    }
    if (runs(Section::co2)) {
        co2Run(md);
        hooks.after(Section::co2, md);
    }
    if (runs(Section::dilution)) {
        infiniteDilution(md);
        hooks.after(Section::dilution, md);
    }
    if (runs(Section::solubility)) {
        solubility(md);
        hooks.after(Section::solubility, md);
    }
    if (!runs(Section::solution)) return;
    hooks.chooseMolality(md);
    finiteConcentration(md);
    hooks.after(Section::solution, md);
}

} // namespace co2
