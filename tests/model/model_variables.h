// Every double of the model state, in declaration order: the columns of the regression reference
// (data/model_regression.csv), which the regression and the library tests read.
#pragma once

#define CO2_MODEL_VARIABLES(X)                                                                               \
    X(T_C)                                                                                                   \
    X(T)                                                                                                     \
    X(P) X(P_bar) X(psatH2O) X(thetaSat) X(omega) X(xi) X(deltaTau) X(deltaOmega) X(stepOmega) X(Phi)        \
        X(Phi_w) X(Phi_ww) X(Phi_x) X(Phi_xx) X(Phi_wx) X(Pi) X(Pi_w) X(Pi_x) X(omegaPi) X(omegaXi)          \
            X(rhoH2O) X(VH2O) X(drhoH2OdP) X(drhoH2OdT) X(d2rhoH2OdT2) X(SH2O) X(CpH2O) X(hH2O) X(gH2O)      \
                X(g0H2O) X(s0H2O) X(cp0H2O) X(lnFH2O) X(yCO2Vap) X(tau) X(rho) X(delta) X(phi0) X(phi0_t)    \
                    X(phi0_tt) X(phiR) X(phiR_d) X(phiR_dd) X(phiR_t) X(phiR_tt) X(phiR_dt) X(rhoCO2)        \
                        X(VCO2) X(SCO2) X(CpCO2) X(gCO2) X(hCO2) X(fCO2) X(lnPhiCO2) X(s0CO2) X(g0CO2)       \
                            X(cp0CO2) X(psatCO2) X(rhoLiqCO2) X(co2Iterations) X(wTerm) X(wTermP) X(wTermS)  \
                                X(wTermC) X(lnKH) X(Gaq) X(S2) X(V2) X(Cp2) X(x0) X(solCorr) X(xSat) X(mSat) \
                                    X(m) X(x) X(Bact) X(Cact) X(dBact) X(d2Bact) X(dCact) X(d2Cact)          \
                                        X(lnGammaCO2) X(lnGammaH2O) X(lnAH2O) X(phiOsm) X(SexH2O) X(SexCO2)  \
                                            X(CpexH2O) X(CpexCO2) X(Vsol) X(rhoSol)

