// The report of one pass: the compact screen layout and the one-value-per-line file copy.
//
// The screen shows several values on a row; the file `CO2out.txt` receives one value per line,
// every line ended with CR LF, so that a run can be read back by other programs. Screen and file
// steps interleave in a fixed order: the water block, the carbon dioxide block, the range
// warnings, the infinite-dilution block, the solubility, the molality line and the activity block.
//
// The dialogue's screen texts (title box, date line, warnings) are printed here too, so that
// every text of the program passes the same fit-to-line rule and the same statement check.
#pragma once

#include <string>
#include <string_view>

#include "core/math.h"
#include "model/model.h"

namespace co2 {

// The file the reports are appended to, and its number in the runtime's file table.
inline constexpr const char* kOutputFileName = "CO2out.txt";
inline constexpr int kOutputFile = 1;

// Texts shown in colour 15, each followed by a return to colour 7.
inline constexpr std::string_view kWarningTemperature =
    "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.48 - 100 C";
inline constexpr std::string_view kWarningPressure =
    "         WARNING:    PRESSURE OUT OF ALLOwABLE RANGE 0 - 100 MPa";
inline constexpr std::string_view kWarningNoLiquid =
    "         WARNING:    PRESSURE BELOW WATER SATURATION PRESSURE: NO LIQUID WATER";
inline constexpr std::string_view kWarningMolality =
    "         WARNING:    INPUT CONCENTRATION GREATER THAN SOLUBILITY ";

// What the report needs from the dialogue besides the model.
struct ReportContext {
    std::string curveLabel; // how the pressure was obtained; the second line of each file report
    double writeFile = 0;   // the file copy is written only while this equals 1
};

// ---- screen texts of the dialogue -----------------------------------------------------------

// A text item: fit-to-line first, then printed with or without a line end.
void screenText(std::string_view text, bool endLine = false);
// A number through its picture template, printed without a line end unless asked.
void screenNumber(std::string_view picture, double value, bool endLine = false);
void screenNumberExtended(std::string_view picture, core::ext value, bool endLine = false);
// An empty print that ends the line.
void screenNewLine();
// A warning in colour 15, then back to colour 7.
void screenWarning(std::string_view text);

void printTitleBox();
// 45 spaces, date and time; on the screen at every menu, in the file once per run.
void printScreenDateLine();
void writeFileDateLine(const ReportContext& context);

// ---- the report, in the order of one pass ---------------------------------------------------

// The pressure that replaced a zero pressure, echoed at column 67 of the row above.
void reportSaturationPressureEcho(const Model& model);
void reportWater(const Model& model, const ReportContext& context);
void reportCarbonDioxide(const Model& model, const ReportContext& context);
void reportRangeWarnings(const Model& model);
void reportInfiniteDilution(const Model& model, const ReportContext& context);
void reportSolubility(const Model& model, const ReportContext& context);
// The empty line and the unfinished molality line, on the screen and in the file.
void reportFiniteConcentrationStart(const ReportContext& context);
void reportActivity(const Model& model, const ReportContext& context);
void reportSeparator();

} // namespace co2
