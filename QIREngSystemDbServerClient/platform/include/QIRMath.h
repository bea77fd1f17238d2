#ifndef QIRMath_H
#define QIRMath_H
/// \file
/// QIRMath.h

/// Pi to full double precision.
constexpr double QIRPI = 3.14159265358979323846;

#endif
