"""Solubility isotherms of CO2 in water, 0 to 100 C, to a PNG: python3 isotherms.py [FILE.png]"""
import sys

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import co2calc

t = np.arange(0, 101, 10)
p = np.linspace(0.5, 100, 200)
sol = co2calc.table(t[:, None], p, columns=["sol_m"])["sol_m"]  # shape (11, 200)
for k, temperature in enumerate(t):
    plt.plot(p, sol[k], label=f"{temperature} °C")
plt.xlabel("pressure / MPa")
plt.ylabel("CO2 solubility / (mol/kg)")
plt.legend(fontsize="small")
plt.savefig(sys.argv[1] if len(sys.argv) > 1 else "isotherms.png", dpi=100)
