#include "QIREdsApplicationTool.h"

#include "QIREdsGuard.h"
#include "QIRError.h"
#include "QIRMath.h"

namespace {
const char* const kWaterTight = "QIRHgrWaterTightCblPn";
const char* const kNonWaterTight = "QIRHgrNonWaterTightCblPn";
}  // namespace

QIREdsApplicationTool::QIREdsApplicationTool() = default;

QIREdsApplicationTool::~QIREdsApplicationTool() = default;

HRESULT QIREdsApplicationTool::GetComputedPercentFill(const QIRRawColldouble& iValues,
                                                      const QIRRawColldouble& iSizes,
                                                      const QIRUnicodeString& iSectionType,
                                                      const double& iCapacity, double& oPercentFill)
{
  HRESULT hr = E_FAIL;
  oPercentFill = 0.0;
  // Written as "not above" so that a NaN capacity or value is refused, not summed.
  if (iValues.Size() == 0 || iSectionType.IsNull() || !(iCapacity > 0.0)) return hr;
  const bool waterTight = iSectionType == kWaterTight;
  if (waterTight && iSizes.Size() != iValues.Size()) return hr;
  return QIRGuarded([&] {
    const bool nonWaterTight = iSectionType == kNonWaterTight;
    double sum = 0.0;
    for (int i = 1; i <= iValues.Size(); ++i) {
      const double value = iValues[i];
      if (!(value > 0.0)) continue;
      if (waterTight) {
        sum += iSizes[i] * iSizes[i];
      } else if (nonWaterTight) {
        const double radius = value * 0.5;
        sum += QIRPI * (radius * radius);
      } else {
        sum += value;
      }
    }
    oPercentFill = sum / iCapacity * 100.0;
    return S_OK;
  });
}
