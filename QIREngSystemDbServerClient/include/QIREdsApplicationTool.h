#ifndef QIREdsApplicationTool_H
#define QIREdsApplicationTool_H
/// \file
/// Engineering computations on cable-routing data.

#include "QIRBaseUnknown.h"
#include "QIRCodes.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"

/// Engineering computations.
///
/// Threads: holds no state, so one object may serve several threads at once.
/// Stateless: put one on the stack, call it, let it go.
class QIR_API QIREdsApplicationTool : public QIRBaseUnknown {
 public:
  QIREdsApplicationTool();
  ~QIREdsApplicationTool() override;

  /// Share of a cableway section's capacity, in percent (not capped at 100), taken by the
  /// cables whose value in iValues is above 0.0. A cable's share: for "QIRHgrNonWaterTightCblPn"
  /// the cross-section of a round cable of diameter value; for "QIRHgrWaterTightCblPn" the
  /// square of its entry in iSizes (same index, read for that type only); for any other type
  /// the value itself.
  /// \param iValues one value per cable
  /// \param iSizes one size per cable, read for the water-tight type only
  /// \param iSectionType the section's type
  /// \param iCapacity the section's capacity
  /// \param oPercentFill receives the share; 0.0 unless S_OK
  /// \return S_OK; E_FAIL for empty iValues, an empty type, a capacity not above 0.0, or, for
  ///   the water-tight type, iSizes of another size than iValues
  HRESULT GetComputedPercentFill(const QIRRawColldouble& iValues, const QIRRawColldouble& iSizes,
                                 const QIRUnicodeString& iSectionType, const double& iCapacity,
                                 double& oPercentFill);
};

#endif
