#!/usr/bin/python3
"""The figure of the brine layer against measured solubilities: docs/validation_brine.png.

    /usr/bin/python3 tools/plot_brine_validation.py BUILD/brine_validation DATA.csv OUT.png

Runs the validation program (no shell: its path and the data path are arguments, never a
command line) for every point's computed molalities, and draws computed against measured CO2
molality, one panel per salt, one marker per salt model, plus the Duan-Sun deviations against the
salt molality. Reproducible to the byte with a given matplotlib: the Agg renderer, a named font
(DejaVu Sans), no time stamp or software tag in the file. The picture is written to a temporary
file in the output's directory and renamed into place.
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from validation_figure import computed_points, save_replacing  # noqa: E402

MODELS = [("duan-sun-2003", "Duan–Sun 2003", "o", "#1f5fa8"),
          ("rumpf-1994", "Rumpf 1994", "^", "#c0504d"),
          ("spycher-pruess-2010", "Spycher–Pruess 2010", "s", "#4f9a3c")]
SALTS = ["NaCl", "KCl", "CaCl2", "MgCl2", "Na2SO4"]
LABELS = {"NaCl": "NaCl", "KCl": "KCl", "CaCl2": "CaCl₂", "MgCl2": "MgCl₂", "Na2SO4": "Na₂SO₄"}


def deviations(rows, model):
    return [(float(r["m_" + model]) - float(r["m_CO2"])) / float(r["m_CO2"]) for r in rows if r["m_" + model]]


def main(argv):
    if len(argv) != 4:
        sys.exit("usage: plot_brine_validation.py BRINE_VALIDATION DATA.csv OUT.png")
    tool, data, output = argv[1:]
    rows = computed_points(tool, data)

    plt.rcParams.update({"font.family": "DejaVu Sans", "font.size": 10, "svg.hashsalt": "co2calc"})
    fig, axes = plt.subplots(2, 3, figsize=(11, 7.6), dpi=100)
    for ax, salt in zip(axes.flat, SALTS):
        own = [r for r in rows if r["salt"] == salt]
        top = max(max(float(r["m_CO2"]) for r in own),
                  max(float(r["m_" + m]) for r in own for m, *_ in MODELS if r["m_" + m])) * 1.08
        ax.plot([0, top], [0, top], color="black", linewidth=0.8)
        for factor in (0.9, 1.1):
            ax.plot([0, top], [0, top * factor], color="grey", linewidth=0.6, linestyle="--")
        summary = []
        for model, label, marker, colour in MODELS:
            pts = [(float(r["m_CO2"]), float(r["m_" + model])) for r in own if r["m_" + model]]
            if not pts:
                continue
            ax.scatter([p[0] for p in pts], [p[1] for p in pts], s=14, marker=marker, facecolors="none",
                       edgecolors=colour, linewidths=0.8, label=label)
            d = deviations(own, model)
            summary.append("%s %.1f %% / %+.1f %%" % (label.split()[0], 100 * sum(map(abs, d)) / len(d),
                                                     100 * sum(d) / len(d)))
        ax.set_xlim(0, top)
        ax.set_ylim(0, top)
        ax.set_aspect("equal")
        ax.set_title("%s, %d points" % (LABELS[salt], len(own)), fontsize=10)
        ax.text(0.03, 0.97, "\n".join(summary), transform=ax.transAxes, va="top", fontsize=7.5)
        ax.set_xlabel("measured m(CO₂), mol/kg water")
        ax.set_ylabel("computed m(CO₂), mol/kg water")
    axes.flat[0].legend(loc="lower right", fontsize=7.5, frameon=False)

    ax = axes.flat[5]
    for salt, marker, colour in zip(SALTS, "osD^v", ["#1f5fa8", "#c0504d", "#4f9a3c", "#8064a2", "#d08a1c"]):
        own = [r for r in rows if r["salt"] == salt]
        ax.scatter([float(r["m_salt"]) for r in own], [100 * d for d in deviations(own, MODELS[0][0])], s=14,
                   marker=marker, facecolors="none", edgecolors=colour, linewidths=0.8, label=LABELS[salt])
    ax.axhline(0, color="black", linewidth=0.8)
    ax.set_title("Duan–Sun 2003: deviation by salt", fontsize=10)
    ax.set_xlabel("salt molality, mol/kg water")
    ax.set_ylabel("computed − measured, % of measured")
    ax.legend(fontsize=7.5, frameon=False, ncol=2)

    fig.suptitle("CO₂ solubility in brines: this model's pure-water solubility over the salting-out "
                 "coefficient, against %d measurements" % len(rows), fontsize=11)
    fig.tight_layout()
    save_replacing(fig, output, ".validation_brine.")


if __name__ == "__main__":
    main(sys.argv)
