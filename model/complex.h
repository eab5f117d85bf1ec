#pragma once

// Complex arithmetic of the filter model. Only the operations the model needs;
// magnitudes are formed by callers as re² + im².

struct Complex {
    double re = 0.0;
    double im = 0.0;
};

Complex operator-(Complex a, Complex b);
Complex operator*(Complex a, Complex b);
Complex conj(Complex a);

// Smith's division, scaled by the larger part of the divisor. A zero divisor,
// a divisor with a NaN part or with both parts infinite gives (NaN, NaN),
// never an infinity; a divisor with one infinite part gives a zero quotient
// for a finite dividend. NaN or infinite parts of the dividend propagate.
Complex operator/(Complex a, Complex b);
