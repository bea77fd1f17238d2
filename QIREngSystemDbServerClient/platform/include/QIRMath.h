#ifndef QIRMath_H
#define QIRMath_H
/// \file
/// Mathematical constants.

/// Pi to full double precision.
constexpr double QIRPI = 3.14159265358979323846;

#endif
