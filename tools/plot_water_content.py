#!/usr/bin/python3
"""The figure of y_H2O, the water content of the CO2-rich phase, against measurements:
docs/validation_water_content.png.

    /usr/bin/python3 tools/plot_water_content.py BUILD/water_content_validation DATA.csv OUT.png

Runs the validation program (no shell: its path and the data path are arguments) for every
point's computed y_H2O and draws, for the binary rows, the published formulation against the
measurements and the deviations of the published form and of this model's liquid-water form
against pressure. Reproducible to the byte with a given matplotlib (Agg, DejaVu Sans, no time
stamp); written to a temporary file in the output's directory and renamed into place.
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from validation_figure import computed_points, save_replacing  # noqa: E402

FORMS = [("sp-rk", "Spycher–Pruess–Ennis-King 2003 (RK volume; the library's y_H2O)", "o", "#1f5fa8"),
         ("model-sw", "this model's liquid water, RK φ(H₂O) at the Span–Wagner volume", "^", "#c0504d")]


def main(argv):
    if len(argv) != 4:
        sys.exit("usage: plot_water_content.py WATER_CONTENT_VALIDATION DATA.csv OUT.png")
    tool, data, output = argv[1:]
    rows = [r for r in computed_points(tool, data) if r["brine"] == "0"]
    plt.rcParams.update({"font.family": "DejaVu Sans", "font.size": 10})
    fig, (left, right) = plt.subplots(1, 2, figsize=(11, 5), dpi=100)
    studies = sorted({r["source"] for r in rows})
    markers = "osD^v<>ph"
    colours = ["#1f5fa8", "#c0504d", "#4f9a3c", "#8064a2", "#d08a1c", "#2a9d8f", "#6d6d6d", "#b5446e", "#000000"]
    for study, marker, colour in zip(studies, markers, colours):
        own = [r for r in rows if r["source"] == study]
        left.scatter([float(r["y_H2O"]) for r in own], [float(r["sp-rk"]) for r in own], s=16, marker=marker,
                     facecolors="none", edgecolors=colour, linewidths=0.8, label="%s (%d)" % (study, len(own)))
    low, high = 1e-3, 0.2
    left.plot([low, high], [low, high], color="black", linewidth=0.8)
    for factor in (0.8, 1.2):
        left.plot([low, high], [low * factor, high * factor], color="grey", linewidth=0.6, linestyle="--")
    left.set_xscale("log")
    left.set_yscale("log")
    left.set_xlim(low, high)
    left.set_ylim(low, high)
    left.set_xlabel("measured y(H₂O)")
    left.set_ylabel("computed y(H₂O), Spycher–Pruess–Ennis-King 2003")
    left.legend(fontsize=7.5, frameon=False)
    for key, label, marker, colour in FORMS:
        d = [(float(r[key]) - float(r["y_H2O"])) / float(r["y_H2O"]) for r in rows]
        right.scatter([float(r["P_MPa"]) for r in rows], [100 * x for x in d], s=14, marker=marker,
                      facecolors="none", edgecolors=colour, linewidths=0.8,
                      label="%s: %.1f %% / %+.1f %%" % (label, 100 * sum(map(abs, d)) / len(d), 100 * sum(d) / len(d)))
    right.axhline(0, color="black", linewidth=0.8)
    right.set_xlabel("pressure, MPa")
    right.set_ylabel("computed − measured, % of measured")
    right.legend(fontsize=7, frameon=False, loc="lower right")
    fig.suptitle("Water in the CO₂-rich phase: %d binary measurements, 0–100 °C, 0.1–100 MPa" % len(rows),
                 fontsize=11)
    fig.tight_layout()
    save_replacing(fig, output, ".validation_water.")


if __name__ == "__main__":
    main(sys.argv)
