#pragma once
// The program's default settings as a user sees them in the options dialog and
// in a saved file: the eighteen texts in the order of the file's lines 3 to 20.

inline constexpr const char* kDefaultTexts[18] = {
    "300.0",
    "300.0",
    "-10.0",
    "10.0",
    "-10.0",
    "10.0",
    "-10.0",
    "10.0",
    "1.0",
    "1.0",
    "1.0",
    "1.0",
    "0.01",
    "20",
    "( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*cos(x)",
    "( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*sin(x)",
    "x^2 + y^2 - 1.0",
    "a*x^2 + b*x + c",
};
