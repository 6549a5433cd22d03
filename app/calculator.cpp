#include "app/calculator.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/report.h"
#include "core/math.h"
#include "core/number_format.h"
#include "model/flags.h"
#include "model/model.h"
#include "model/phase_curves.h"
#include "model/run.h"
#include "model/solubility.h"
#include "model/state_point.h"
#include "model/statements.h"
#include "model/water.h"
#include "runtime/files.h"
#include "runtime/keyboard.h"
#include "runtime/process.h"
#include "runtime/screen.h"
#include "runtime/tones.h"

namespace co2 {

namespace {

// Column where the pressure part of the input row begins, after the temperature prompt.
constexpr int kPressureColumn = 35;

// Option 0's pressure prompt is announced by a short low tone: 200 Hz for 2 ticks.
constexpr double kPromptTone_hz = 200;
constexpr double kPromptTone_ticks = 2;

// The dialogue's own variables; the model's live in Model.
struct Dialogue {
    double inputOption = 0;
    std::string T_text;
    std::string P_text;
    std::string m_text;
    ReportContext report;
};

constexpr std::string_view kStartupScreen[] = {
    "",
    "",
    "",
    "                co2calc: solubility of carbon dioxide in pure water",
    "     CO2 dissolved in water from a Henry-constant model; pure water and pure",
    "     carbon dioxide from their equations of state:",
    "   Hill P.G. / J. Phys. Chem. Ref. Data / 1990, v. 19, p. 1233-1274",
    " Span R. and Wagner W. / J. Phys. Chem. Ref. Data / 1996, v. 25, p. 1509-1596",
    "",
    "            While running this code, pressing",
    "                             <Enter> means Keep an Old Value",
    "                             <CTRL-C>      Quit the Program",
    "",
    "             Output is appended to the ASCII file CO2OUT.TXT",
    "",
    "        Units of the output values:",
    "             Temperature in degrees C  ",
    "             Pressure , Fugacity and Henry constant in MPa ",
    "             Densities in g/cm^3 ;     Volumes in cm^3/mol ",
    "             Gibbs function (g)  and Enthalpy (h)  in J/mol",
    "             Entropy (S)  and Heat capacity (Cp) in J/mol/K",
    "",
    "                      Press any key to continue...",
    "",
    "",
};

constexpr std::string_view kMenu[] = {
    "                               Input Options",
    "    (0) Temperature and Pressure",
    "    (1) Temperature on the H2O(l)-CO2(l)-CO2(v)    curve",
    "    (2) Temperature on the Clathrate-H2O(l)-CO2(l) curve",
    "    (3) Temperature on the Clathrate-H2O(l)-CO2(v) curve",
    "    (4) Temperature on the H2O(l)-H2O(ice)-CO2(v)  curve",
};

// The runtime's wait loops return at once when the process is shutting down; the program
// thread then stops here rather than act on an empty entry.
void stopIfRequested() {
    if (rt::processFlags().stopRequested.load() != 0) rt::stopProgramThread();
}

void startup(Model& model, Dialogue& dialogue) {
    printTitleBox();
    loadConstants(model.c);
    done(104);
    rt::clearScreen();
    done(106);
    for (std::string_view line : kStartupScreen) {
        screenText(line, true);
        done(109);
    }
    // Any key goes on; the key itself is not used. The wait sleeps between polls of the queue.
    rt::waitForKey();
    done(113);
    dialogue.report.writeFile = 1;
    done(115);
    if (dialogue.report.writeFile == 1) {
        rt::files().openForAppend(kOutputFileName, kOutputFile);
        done(118);
        writeFileDateLine(dialogue.report);
    }
}

// Menu and option number; returns the option chosen (0 to 4).
int chooseOption(Dialogue& dialogue) {
    for (;;) {
        printTitleBox();
        printScreenDateLine();
        for (std::string_view line : kMenu) {
            screenText(line, true);
            done(130);
        }
        rt::printText("                 Specify number of desired option ", false);
        done(133);
        rt::lineInput(dialogue.inputOption, true);
        stopIfRequested();
        done(136);
        // Exact equality: 1.5 or 5 show the menu again without a word.
        if (dialogue.inputOption == 1) return 1;
        if (dialogue.inputOption == 2) return 2;
        if (dialogue.inputOption == 3) return 3;
        if (dialogue.inputOption == 4) return 4;
        if (dialogue.inputOption == 0) return 0;
    }
}

// A typed text replaces the value; an empty line keeps the old one.
// A typed number beyond the range of a double (1E400, say) would be stored as an infinity, which
// no template can print and which every formula of the model turns into further errors. It is an
// overflow like any number too large for its variable: core::ErrorCode::overflow (6), and the value
// becomes 0.
double typedValue(core::ext typed) {
    const double value = static_cast<double>(typed);
    if (!std::isinf(value)) return value;
    core::raiseError(core::ErrorCode::overflow);
    return 0;
}

void readValue(std::string& text, bool endLine, double& value) {
    rt::lineInput(text, endLine);
    stopIfRequested();
    done(160);
    if (!text.empty()) {
        value = typedValue(rt::textToNumber(text));
        done(163);
    }
}

void temperaturePrompt(Model& model, Dialogue& dialogue, int option) {
    if (option == 0)
        dialogue.report.curveLabel = " Pressure is independent variable ";
    else
        dialogue.report.curveLabel =
            std::string(" Pressure along the ") + std::string(curveName(option)) + " curve ";
    done(173);
    screenText(" Temperature, C =");
    screenNumber("####.##", model.T_C);
    rt::printText("? ", false);
    done(177);
    readValue(dialogue.T_text, false, model.T_C);
    setTemperature(model, model.T_C);
    done(180);
}

void pressurePrompt(Model& model, Dialogue& dialogue) {
    rt::locate(std::nullopt, kPressureColumn);
    done(185);
    rt::soundTicks(kPromptTone_hz, kPromptTone_ticks);
    done(187);
    model.P = pressureMPaOf(model);
    done(189);
    screenText(" Total Pressure, MPa =");
    screenNumber("###.#####", model.P);
    rt::printText("? ", false);
    done(193);
    rt::lineInput(dialogue.P_text, true);
    stopIfRequested();
    done(196);
    // Enter keeps the pressure itself: going through P and back (P_bar / 10 * 10) can land one
    // unit in the last place off, and just below the saturation pressure that turns the water
    // into its vapour although the user asked to keep the state.
    if (!dialogue.P_text.empty()) {
        model.P = typedValue(rt::textToNumber(dialogue.P_text));
        done(202);
        setPressure(model, model.P);
        done(204);
    }
}

// Options 1 to 4: the pressure follows from the temperature on the curve. Returns false when
// the temperature lies outside the curve's range (the warning has been shown).
bool curvePressure(Model& model, int option) {
    if (!setCurvePressure(model, option)) {
        screenWarning(curveWarning(option));
        return false;
    }
    done(216);
    rt::locate(std::nullopt, kPressureColumn);
    done(218);
    screenText(" Total Pressure, MPa =");
    screenNumber(curvePressureTemplate(option), pressureMPaOf(model), true);
    done(221);
    return true;
}

void molalityPrompt(Model& model, Dialogue& dialogue) {
    reportFiniteConcentrationStart(dialogue.report);
    model.m = model.mSat;
    done(228);
    screenText("  CO2 molality =");
    screenNumber(" ###.##### ", model.m);
    rt::printText("? ", false);
    done(232);
    readValue(dialogue.m_text, false, model.m);
    if (model.m == 0) {
        model.m = kSmallestMolality;
        done(236);
    }
    if (concentrationAboveSolubility(model)) screenWarning(kWarningMolality);
}

// Each block is reported as soon as its section has run; the molality is asked for in between.
class ReportingHooks final : public RunHooks {
  public:
    explicit ReportingHooks(Dialogue& dialogue) : dialogue_(dialogue) {}

    void after(Section section, Model& model) override {
        switch (section) {
        case Section::water:
            // Saturation pressure and first density (a pressure of 0 becomes the saturation
            // pressure), the three density solves, the properties and the vapour estimate.
            done(246);
            reportSaturationPressureEcho(model);
            reportWater(model, dialogue_.report);
            break;
        case Section::co2:
            done(251);
            reportCarbonDioxide(model, dialogue_.report);
            break;
        case Section::dilution:
            done(255);
            reportRangeWarnings(model);
            reportInfiniteDilution(model, dialogue_.report);
            break;
        case Section::solubility:
            done(260);
            reportSolubility(model, dialogue_.report);
            break;
        case Section::solution:
            done(265);
            reportActivity(model, dialogue_.report);
            reportSeparator();
            break;
        }
    }
    void chooseMolality(Model& model) override { molalityPrompt(model, dialogue_); }

  private:
    Dialogue& dialogue_;
};

void runModel(Model& model, Dialogue& dialogue) {
    ReportingHooks hooks(dialogue);
    runSections(model, hooks);
}

} // namespace

void calculatorMain() {
    // The model is a few kilobytes with its tables; it lives off the program thread's stack.
    auto model = std::make_unique<Model>();
    Dialogue dialogue;

    startup(*model, dialogue);
    for (;;) {
        const int option = chooseOption(dialogue);
        temperaturePrompt(*model, dialogue, option);
        if (option == 0) {
            pressurePrompt(*model, dialogue);
        } else if (!curvePressure(*model, option)) {
            continue;
        }
        runModel(*model, dialogue);
    }
}

} // namespace co2
