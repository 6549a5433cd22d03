"""Solubility isotherms of CO2 in water, 0 to 100 C, to a PNG: python3 isotherms.py [FILE.png]

Each isotherm has its own colour (a cycle of ten would give 0 C and 100 C the same one), the part
inside the CO2-clathrate stability field is dashed, and points without a solubility are left out."""
import sys

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import co2calc

t = np.arange(0, 101, 10)
p = np.linspace(0.5, 100, 200)
result = co2calc.table(t[:, None], p, columns=["sol_m"])  # shape (11, 200)
sol, flags = result["sol_m"], result["flags"]
hydrate = flags & co2calc.FLAGS["hydrate"] != 0
missing = (flags & co2calc.FLAGS["no_solubility"] != 0) | np.isnan(sol)
colours = plt.cm.viridis(np.linspace(0, 0.95, len(t)))
for k, temperature in enumerate(t):
    solid = np.where(missing[k] | hydrate[k], np.nan, sol[k])
    # The dashed part is drawn one point wider on each side, so that it meets the solid line.
    edge = np.convolve(hydrate[k], [1, 1, 1], mode="same") > 0
    dashed = np.where(missing[k] | ~edge, np.nan, sol[k])
    plt.plot(p, solid, color=colours[k], label=f"{temperature} °C")
    if hydrate[k].any():
        plt.plot(p, dashed, color=colours[k], linestyle="--")
plt.plot([], [], color="grey", linestyle="--", label="CO2 hydrate stable")
plt.xlabel("pressure / MPa")
plt.ylabel("CO2 solubility / (mol/kg)")
plt.legend(fontsize="small", ncol=2)
plt.savefig(sys.argv[1] if len(sys.argv) > 1 else "isotherms.png", dpi=100)
