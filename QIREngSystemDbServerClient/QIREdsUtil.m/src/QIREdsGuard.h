#ifndef QIREdsGuard_H
#define QIREdsGuard_H
// The library's operations share the platform's guard, so both layers map errors alike.
// Not installed.

#include "../../platform/src/QIRGuard.h"

#endif
