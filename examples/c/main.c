/* The solubility of CO2 in water at 25 C and 10 MPa, and a point that fails, through co2model. */
#include <co2model.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

int main(void) {
    double* values = malloc(sizeof(double) * (size_t)co2_quantity_count());
    const int sol_m = co2_quantity_index("sol_m");
    char message[200];
    int code;
    if (values == NULL || sol_m < 0) return 1;

    if (co2_evaluate_ex(25, 10, NAN, CO2_EXACT, values, NULL, message, sizeof message) != 0) return 1;
    printf("exact sol_m %.17g %s\n", values[sol_m], co2_quantity_unit(sol_m));
    if (co2_evaluate(25, 10, NAN, values, NULL, message, sizeof message) != 0) return 1;
    printf("fast sol_m %.17g %s\n", values[sol_m], co2_quantity_unit(sol_m));

    /* Below the water saturation pressure there is no liquid: the point fails with a code. */
    code = co2_evaluate(20, 0.001, NAN, values, NULL, message, sizeof message);
    printf("20 C, 0.001 MPa: error %d: %s\n", code, message);
    code = co2_evaluate_curve(1, 40, NAN, values, NULL, message, sizeof message);
    printf("curve 1 at 40 C: error %d: %s\n", code, message);
    free(values);
    return 0;
}
