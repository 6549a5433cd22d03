/* co2model: the C interface of the CO2-in-water model, for C, Fortran and foreign-function
 * interfaces. Plain types, caller-owned buffers, return codes; safe to call from many threads.
 * Quantities are named as co2table's columns; see co2model.hpp for their meaning. */
#ifndef CO2MODEL_H
#define CO2MODEL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Bits of *flags. */
#define CO2_WARN_T 0x1u      /* temperature outside -1.48 .. 100 C */
#define CO2_WARN_P 0x2u      /* pressure above 100 MPa */
#define CO2_WARN_PSAT 0x4u   /* below the water saturation pressure: no liquid water */
#define CO2_WARN_M 0x8u      /* molality above the solubility */
#define CO2_HYDRATE 0x10u    /* inside the CO2-clathrate stability field */
#define CO2_PHASE_GAS 0x20u  /* phase of pure CO2: exactly one of these three for a computed point */
#define CO2_PHASE_LIQUID 0x40u
#define CO2_PHASE_SUPERCRITICAL 0x80u
#define CO2_NO_SOLUBILITY 0x100u /* no liquid water or a negative solubility */

/* Options of co2_run and the _ex functions; any other bit is a bad argument. */
#define CO2_EXACT 0x1u /* the calculator's extended arithmetic, its numbers to the last bit */
#define CO2_RAW 0x2u   /* keep the numbers where CO2_NO_SOLUBILITY makes them NaN (see below) */

/* Negative return codes are the library's own; positive ones are runtime error codes. */
#define CO2_ERROR_OUTSIDE_CURVE (-1)
#define CO2_ERROR_BAD_ARGUMENT (-2) /* NaN or infinite input, negative pressure or molality, curve
                                       option not 1..4, unknown option bit */
#define CO2_ERROR_NON_FINITE (-3)   /* a quantity came out infinite or NaN without a runtime error */

int co2_quantity_count(void);
const char *co2_quantity_name(int i);        /* NULL when i is out of range */
const char *co2_quantity_unit(int i);
const char *co2_quantity_description(int i);
int co2_quantity_index(const char *name);    /* -1 if unknown */

/* The flags, in bit order: name ("warn_psat"), bit and description; NULL or 0 out of range. */
int co2_flag_count(void);
const char *co2_flag_name(int i);
unsigned co2_flag_bit(int i);
const char *co2_flag_description(int i);

/* The phase-boundary curves by option 1..4: "H2O(l)-CO2(l)-CO2(v)" ...; NULL for another option.
 * co2_curve_range gives the temperatures (C) the curve accepts; 0 on success, -1 otherwise. */
int co2_curve_count(void);
const char *co2_curve_name(int option);
int co2_curve_range(int option, double *t_min, double *t_max);

/* One state point. curve 0: at p_mpa (0 means the water saturation pressure); 1..4: the pressure
 * of that curve at the temperature, p_mpa unused. molality NAN: at the solubility; 0: 1e-8.
 * A zeroed struct is 0 C at the saturation pressure and molality 1e-8: start from co2_point_at or
 * co2_point_on_curve, which put the molality at the solubility. */
typedef struct co2_point {
    double t_celsius;
    double p_mpa;
    int curve;
    double molality;
    /* The dissolved salt, ion molalities in mol per kg of water (all 0: pure water), charges
     * balanced, and its model: CO2_SALT_DUAN_SUN_2003 (0), CO2_SALT_RUMPF_1994,
     * CO2_SALT_SPYCHER_PRUESS_2010 (NaCl only). */
    double na, k, ca, mg, cl, so4;
    int salt_model;
    /* The solubility model: CO2_SOLUBILITY_OWN (0, this library's), or Spycher-Pruess-Ennis-King
     * 2003 with its own Redlich-Kwong volume (CO2_SOLUBILITY_SPYCHER_PRUESS_2003) or with the
     * Span-Wagner volume (CO2_SOLUBILITY_SPYCHER_PRUESS_2003_SW); outside 12-100 C or above 60 MPa
     * the latter two set CO2_WARN_SOL_MODEL. */
    int solubility_model;
} co2_point;

#define CO2_SOLUBILITY_OWN 0
#define CO2_SOLUBILITY_SPYCHER_PRUESS_2003 1
#define CO2_SOLUBILITY_SPYCHER_PRUESS_2003_SW 2

#define CO2_SALT_DUAN_SUN_2003 0
#define CO2_SALT_RUMPF_1994 1
#define CO2_SALT_SPYCHER_PRUESS_2010 2
#define CO2_SALT_INDICATIVE 0x200u /* flag: ions other than Na and Cl, the solubility is indicative */
#define CO2_WARN_SOL_MODEL 0x400u /* flag: outside the chosen solubility model's stated range */

co2_point co2_point_at(double t_celsius, double p_mpa);
co2_point co2_point_on_curve(int option, double t_celsius);

/* values: co2_quantity_count() doubles (or NULL), NaN when the point fails except the inputs
 * T_C, P and a given m; flags may be NULL; error receives the message (cut to error_size - 1
 * bytes, always terminated; "" on success) when error_size > 0. molality NAN: at the solubility;
 * 0: 1e-8. The plain functions take the fast path, the _ex ones CO2_EXACT on request. Returns 0,
 * or the error code.
 * A computed point (return 0) may still describe no real solution: where *flags has
 * CO2_NO_SOLUBILITY, the solubility and solution values are NaN (a given molality excepted), and
 * so is y_CO2_vap where there is no liquid water (CO2_WARN_PSAT), unless CO2_RAW asks for the
 * formulas' numbers. Check the values, or the flag, before printing a solubility. */
int co2_run(const co2_point *point, unsigned options, double *values, unsigned *flags, char *error,
            size_t error_size);
int co2_evaluate(double t_celsius, double p_mpa, double molality, double *values, unsigned *flags,
                 char *error, size_t error_size);
int co2_evaluate_curve(int option, double t_celsius, double molality, double *values,
                       unsigned *flags, char *error, size_t error_size);
int co2_evaluate_ex(double t_celsius, double p_mpa, double molality, unsigned options,
                    double *values, unsigned *flags, char *error, size_t error_size);
int co2_evaluate_curve_ex(int option, double t_celsius, double molality, unsigned options,
                          double *values, unsigned *flags, char *error, size_t error_size);

const char *co2_version(void);

#ifdef __cplusplus
}
#endif

#endif /* CO2MODEL_H */
