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
  /// Lists that break the order, or hold a range whose start exceeds its end, are merged as
  /// they always were: the result is not a union then, and its cost grows with the square of
  /// the lengths instead of in proportion.
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
                                       QIRRawCollint& oUnitedStarts, QIRRawCollint& oUnitedEnds);

  /// The units in both lists. Inputs may come in any order and overlap; a range whose start
  /// exceeds its end holds no unit. The outputs are cleared and filled only on success, with
  /// ascending ranges separated by at least one missing unit, as the union gives them.
  /// \param iFirstStarts the first list's starts
  /// \param iFirstEnds the first list's ends
  /// \param iSecondStarts the second list's starts
  /// \param iSecondEnds the second list's ends
  /// \param oStarts receives the result's starts
  /// \param oEnds receives its ends
  /// \return S_OK (an empty result included); E_FAIL, outputs untouched, when a list is empty
  ///   or its starts and ends differ in size
  HRESULT ComputeIntersectionEffectivityRange(const QIRRawCollint& iFirstStarts,
                                              const QIRRawCollint& iFirstEnds,
                                              const QIRRawCollint& iSecondStarts,
                                              const QIRRawCollint& iSecondEnds,
                                              QIRRawCollint& oStarts, QIRRawCollint& oEnds);
  /// The units of the first list missing from the second, with the inputs and outputs of
  /// ComputeIntersectionEffectivityRange.
  /// \param iFirstStarts the first list's starts
  /// \param iFirstEnds the first list's ends
  /// \param iSecondStarts the second list's starts
  /// \param iSecondEnds the second list's ends
  /// \param oStarts receives the result's starts
  /// \param oEnds receives its ends
  /// \return S_OK (an empty result included); E_FAIL, outputs untouched, when a list is empty
  ///   or its starts and ends differ in size
  HRESULT ComputeDifferenceEffectivityRange(const QIRRawCollint& iFirstStarts,
                                            const QIRRawCollint& iFirstEnds,
                                            const QIRRawCollint& iSecondStarts,
                                            const QIRRawCollint& iSecondEnds,
                                            QIRRawCollint& oStarts, QIRRawCollint& oEnds);

  /// Whether some range holds iUnit (its start at most iUnit, its end at least iUnit).
  /// \param iStarts the ranges' starts
  /// \param iEnds their ends
  /// \param iUnit the unit
  /// \param oEffective receives the answer
  /// \return S_OK; E_FAIL, oEffective untouched, when the list is empty or its sizes differ
  HRESULT IsUnitEffective(const QIRRawCollint& iStarts, const QIRRawCollint& iEnds, int iUnit,
                          bool& oEffective);

  /// Writes the ranges as given, in their order, as "U(1-5)(8-oo)": an end of 100000000 as
  /// "oo", everything else in decimal. Parsing the text gives the lists back when no value is
  /// negative.
  /// \param iStarts the ranges' starts
  /// \param iEnds their ends
  /// \param oText receives the text
  /// \return S_OK; E_FAIL, oText untouched, when the list is empty or its sizes differ
  HRESULT FormatEffectivityRange(const QIRRawCollint& iStarts, const QIRRawCollint& iEnds,
                                 QIRUnicodeString& oText);
};

#endif
