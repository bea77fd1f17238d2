#ifndef QIREdsEffectivityTool_H
#define QIREdsEffectivityTool_H
/// \file
/// Effectivity ranges: lists of closed unit ranges held as two QIRRawCollint of equal size
/// (starts, ends), indexed from 1. An open end is written "oo" and stored as 100000000.

#include "QIRBaseUnknown.h"
#include "QIRCodes.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"

/// How a second range list stands to a first one.
enum QIREdsEffMatchingStatusEnum {
  QIREdsEffUndefined = 0,   ///< No comparison made.
  QIREdsEffIdentical = 1,   ///< Same ranges in the same order.
  QIREdsEffDisjoint = 2,    ///< No unit in common.
  QIREdsEffIncluded = 3,    ///< Every second range lies inside one first range.
  QIREdsEffOverlapping = 4  ///< Some unit in common, not included.
};

/// Parses, compares and unites effectivity ranges.
///
/// Stateless: put one on the stack, call it, let it go. Threads: one object may serve several
/// threads at once.
class QIR_API QIREdsEffectivityTool : public QIRBaseUnknown {
 public:
  QIREdsEffectivityTool();
  ~QIREdsEffectivityTool() override;

  /// Reads a text such as "U(1-5)(8-oo)" or "U(1-5),(8-12)" and appends its ranges to
  /// oStarts and oEnds (never cleared). Text outside the parentheses is skipped but must hold
  /// no "-", since every "-" is read as a range's dash. A "(" in the very first position
  /// opens a range too, so "(1-5)" alone parses as "U(1-5)" does. Start and end are not
  /// checked against each other.
  /// \param iEffectivity the text
  /// \param oStarts receives the ranges' starts, appended
  /// \param oEnds receives their ends, appended
  /// \return S_OK; E_INVALIDARG for an empty text; E_FAIL for a text without "-" or with a
  ///   range whose start or end cannot be read, the ranges read before it staying appended
  HRESULT ParseEffectivityRange(const QIRUnicodeString& iEffectivity, QIRRawCollint& oStarts,
                                QIRRawCollint& oEnds);

  /// Says how the second list stands to the first (not symmetric: a first list inside the
  /// second is QIREdsEffOverlapping). Ranges may come in any order.
  /// \param iFirstStarts the first list's starts
  /// \param iFirstEnds the first list's ends
  /// \param iSecondStarts the second list's starts
  /// \param iSecondEnds the second list's ends
  /// \param oStatus receives how the second list stands to the first
  /// \return S_OK; E_FAIL with QIREdsEffUndefined when a list is empty or its starts and ends
  ///   differ in size
  HRESULT CompareEffectivityRange(const QIRRawCollint& iFirstStarts,
                                  const QIRRawCollint& iFirstEnds,
                                  const QIRRawCollint& iSecondStarts,
                                  const QIRRawCollint& iSecondEnds,
                                  QIREdsEffMatchingStatusEnum& oStatus);

  /// Unites both lists into ascending ranges separated by at least one missing unit; the
  /// outputs are cleared and filled only on success. The second list must be ascending with
  /// separate ranges; the first may come in any order and overlap. Units start at 1.
  /// \param iFirstStarts the first list's starts
  /// \param iFirstEnds the first list's ends
  /// \param iSecondStarts the second list's starts
  /// \param iSecondEnds the second list's ends
  /// \param oUnitedStarts receives the united ranges' starts
  /// \param oUnitedEnds receives their ends
  /// \return S_OK; E_FAIL, outputs untouched, when a list is empty or its starts and ends
  ///   differ in size
  HRESULT ComputeUnionEffectivityRange(const QIRRawCollint& iFirstStarts,
                                       const QIRRawCollint& iFirstEnds,
                                       const QIRRawCollint& iSecondStarts,
                                       const QIRRawCollint& iSecondEnds,
                                       QIRRawCollint& oUnitedStarts,
                                       QIRRawCollint& oUnitedEnds);
};

#endif
