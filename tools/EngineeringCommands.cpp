// effectivity parse|format|compare|union|intersect|subtract|contains, blanks encode|decode, fill
#include "QIREdsApplicationTool.h"
#include "QIREdsEffectivityTool.h"
#include "QIREdsGeneralTool.h"
#include "QiredsCommands.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {
const int kOpenEnd = 100000000;

struct RangeList {
  QIRRawCollint starts;
  QIRRawCollint ends;
};

// Standard input when the argument is "-", without one final line end, so that a text can be
// piped in from echo or a file; otherwise the argument itself.
std::string ReadText(const std::string& iArgument)
{
  if (iArgument != "-") return iArgument;
  std::string text{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  if (std::cin.bad()) throw std::runtime_error("cannot read standard input");
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

// Standard input can be read once: two texts cannot both come from it.
void RequireOneStandardInput(const std::vector<std::string>& iArguments)
{
  int dashes = 0;
  for (const std::string& argument : iArguments) dashes += argument == "-" ? 1 : 0;
  if (dashes > 1)
    throw CLI::ValidationError("A B", "only one text can be read from standard input");
}

// How a failure names a text: long texts and standard input are not repeated in full.
std::string NameText(const std::string& iArgument, const std::string& iText)
{
  if (iArgument == "-") return "standard input";
  if (iText.size() > 60) return "\"" + iText.substr(0, 57) + "...\"";
  return "\"" + iText + "\"";
}

// A failure leaves through main, which prints the reason on one line and exits with 1.
RangeList ParseRanges(const std::string& iArgument)
{
  const std::string text = ReadText(iArgument);
  QIREdsEffectivityTool tool;
  RangeList ranges;
  if (FAILED(tool.ParseEffectivityRange(text.c_str(), ranges.starts, ranges.ends)))
    throw std::runtime_error("cannot read effectivity ranges from " + NameText(iArgument, text));
  return ranges;
}

std::string FormatRanges(const RangeList& iRanges)
{
  std::string text;
  for (int i = 1; i <= iRanges.starts.Size() && i <= iRanges.ends.Size(); ++i) {
    const int end = iRanges.ends[i];
    text += "(" + std::to_string(iRanges.starts[i]) + "-" +
            (end == kOpenEnd ? std::string("oo") : std::to_string(end)) + ")";
  }
  return text;
}

std::string FormatRange(const RangeList& iRanges, int i)
{
  RangeList one;
  one.starts.Append(iRanges.starts[i]);
  one.ends.Append(iRanges.ends[i]);
  return FormatRanges(one);
}

// A range runs upwards from its start to its end, and the union's units are numbered from 1.
// A list that breaks this is named rather than turned into a meaningless result.
void RequireUnitRanges(const RangeList& iRanges, const char* iName, bool iFromUnitOne)
{
  for (int i = 1; i <= iRanges.starts.Size(); ++i) {
    if (iRanges.starts[i] > iRanges.ends[i])
      throw std::runtime_error("range " + FormatRange(iRanges, i) + " of " + iName +
                               " starts after its end");
    if (iFromUnitOne && iRanges.starts[i] < 1)
      throw std::runtime_error("range " + FormatRange(iRanges, i) + " of " + iName +
                               " holds units below 1");
  }
}

void RequireAscendingSeparate(const RangeList& iRanges, const char* iName)
{
  for (int i = 2; i <= iRanges.starts.Size(); ++i)
    if (iRanges.ends[i - 1] >= iRanges.starts[i])
      throw std::runtime_error("ranges " + FormatRange(iRanges, i - 1) + " and " +
                               FormatRange(iRanges, i) + " of " + iName +
                               " are not ascending and separate");
}

const char* StatusName(QIREdsEffMatchingStatusEnum iStatus)
{
  switch (iStatus) {
    case QIREdsEffIdentical:
      return "QIREdsEffIdentical";
    case QIREdsEffDisjoint:
      return "QIREdsEffDisjoint";
    case QIREdsEffIncluded:
      return "QIREdsEffIncluded";
    case QIREdsEffOverlapping:
      return "QIREdsEffOverlapping";
    case QIREdsEffUndefined:
      break;
  }
  return "QIREdsEffUndefined";
}

QIRRawColldouble ToList(const std::vector<double>& iNumbers)
{
  QIRRawColldouble list;
  for (double number : iNumbers) list.Append(number);
  return list;
}

// A subcommand on two effectivity texts A and B, read in that order so that the first bad one
// is the one named.
void AddRangePairCommand(CLI::App& ioParent, const char* iName, const char* iDescription,
                         const char* iHelpA, const char* iHelpB,
                         std::function<void(const RangeList&, const RangeList&)> iAction)
{
  auto texts = std::make_shared<std::vector<std::string>>(2);
  CLI::App* command = ioParent.add_subcommand(iName, iDescription);
  command->add_option("A", (*texts)[0], iHelpA)->required();
  command->add_option("B", (*texts)[1], iHelpB)->required();
  command->callback([texts, iAction] {
    RequireOneStandardInput(*texts);
    const RangeList first = ParseRanges((*texts)[0]);
    iAction(first, ParseRanges((*texts)[1]));
  });
}

// The range-list operations that give a range list, all of the same shape.
using ListOperation = HRESULT (QIREdsEffectivityTool::*)(const QIRRawCollint&, const QIRRawCollint&,
                                                         const QIRRawCollint&, const QIRRawCollint&,
                                                         QIRRawCollint&, QIRRawCollint&);

void PrintListOperation(const RangeList& iFirst, const RangeList& iSecond, ListOperation iOperation,
                        const char* iFailure)
{
  RangeList result;
  QIREdsEffectivityTool tool;
  if (FAILED((tool.*iOperation)(iFirst.starts, iFirst.ends, iSecond.starts, iSecond.ends,
                                result.starts, result.ends)))
    throw std::runtime_error(iFailure);
  std::printf("%s\n", FormatRanges(result).c_str());
}

void AddEffectivityCommands(CLI::App& ioApp)
{
  CLI::App* effectivity =
      ioApp.add_subcommand("effectivity", "Effectivity ranges such as U(1-5)(8-oo)");
  effectivity->require_subcommand(1);

  const char* const textHelp = "Effectivity text, or - to read it from standard input";
  for (const bool parse : {true, false}) {
    auto text = std::make_shared<std::string>();
    CLI::App* command = effectivity->add_subcommand(
        parse ? "parse" : "format", parse ? "Print the ranges of an effectivity text"
                                          : "Print the ranges of an effectivity text as U(...)");
    command->add_option("TEXT", *text, textHelp)->required();
    command->callback([text, parse] {
      const RangeList ranges = ParseRanges(*text);
      if (parse) {
        std::printf("%s\n", FormatRanges(ranges).c_str());
        return;
      }
      QIRUnicodeString formatted;
      if (FAILED(QIREdsEffectivityTool().FormatEffectivityRange(ranges.starts, ranges.ends,
                                                                formatted)))
        throw std::runtime_error("cannot format the effectivity ranges");
      std::printf("%s\n", formatted.ConvertToChar());
    });
  }

  AddRangePairCommand(
      *effectivity, "compare",
      "Print how the ranges of B stand to those of A, by status name and number; every range "
      "must run upwards",
      textHelp, textHelp, [](const RangeList& iFirst, const RangeList& iSecond) {
        RequireUnitRanges(iFirst, "A", false);
        RequireUnitRanges(iSecond, "B", false);
        QIREdsEffMatchingStatusEnum status = QIREdsEffUndefined;
        if (FAILED(QIREdsEffectivityTool().CompareEffectivityRange(
                iFirst.starts, iFirst.ends, iSecond.starts, iSecond.ends, status)))
          throw std::runtime_error("cannot compare the effectivity ranges");
        std::printf("%s %d\n", StatusName(status), static_cast<int>(status));
      });
  AddRangePairCommand(
      *effectivity, "union",
      "Print the union of A and B; every range must run upwards from unit 1 or above, and B "
      "must be ascending with separate ranges",
      "First effectivity text, any order, or -", "Second effectivity text, ascending, or -",
      [](const RangeList& iFirst, const RangeList& iSecond) {
        RequireUnitRanges(iFirst, "A", true);
        RequireUnitRanges(iSecond, "B", true);
        RequireAscendingSeparate(iSecond, "B");
        PrintListOperation(iFirst, iSecond, &QIREdsEffectivityTool::ComputeUnionEffectivityRange,
                           "cannot unite the effectivity ranges");
      });
  AddRangePairCommand(
      *effectivity, "intersect", "Print the units in both A and B, as ascending ranges", textHelp,
      textHelp, [](const RangeList& iFirst, const RangeList& iSecond) {
        PrintListOperation(iFirst, iSecond,
                           &QIREdsEffectivityTool::ComputeIntersectionEffectivityRange,
                           "cannot intersect the effectivity ranges");
      });
  AddRangePairCommand(
      *effectivity, "subtract", "Print the units of A that B lacks, as ascending ranges", textHelp,
      textHelp, [](const RangeList& iFirst, const RangeList& iSecond) {
        PrintListOperation(iFirst, iSecond,
                           &QIREdsEffectivityTool::ComputeDifferenceEffectivityRange,
                           "cannot subtract the effectivity ranges");
      });

  struct ContainsArguments {
    std::string text;
    int unit = 0;
  };
  auto contains = std::make_shared<ContainsArguments>();
  CLI::App* containsCommand =
      effectivity->add_subcommand("contains", "Print yes when a range of A holds UNIT, else no");
  containsCommand->add_option("A", contains->text, textHelp)->required();
  containsCommand->add_option("UNIT", contains->unit, "Unit number")->required();
  containsCommand->callback([contains] {
    const RangeList ranges = ParseRanges(contains->text);
    bool effective = false;
    if (FAILED(QIREdsEffectivityTool().IsUnitEffective(ranges.starts, ranges.ends, contains->unit,
                                                       effective)))
      throw std::runtime_error("cannot look the unit up in the effectivity ranges");
    std::printf("%s\n", effective ? "yes" : "no");
  });
}

void AddBlanksCommands(CLI::App& ioApp)
{
  CLI::App* blanks = ioApp.add_subcommand("blanks", "Encode runs of blanks as !<count>$ and back");
  blanks->require_subcommand(1);
  for (const bool encode : {true, false}) {
    auto text = std::make_shared<std::string>();
    CLI::App* command = blanks->add_subcommand(
        encode ? "encode" : "decode",
        encode ? "Replace runs of blanks by markers" : "Replace markers by runs of blanks");
    command->add_option("TEXT", *text, "Text, or - to read it from standard input")->required();
    command->callback([text, encode] {
      QIREdsGeneralTool tool;
      const QIRUnicodeString input(ReadText(*text).c_str());
      const QIRUnicodeString output = encode ? tool.EncodeBlanks(input) : tool.DecodeBlanks(input);
      std::printf("%s\n", output.ConvertToChar());
    });
  }
}

// The section types the fill command accepts, with the rule each stands for; "Other" stands
// for every type without a rule of its own.
const char* const kFillTypes[][2] = {
    {"QIRHgrNonWaterTightCblPn",
     "each value is a round cable's diameter, its share the cross-section"},
    {"QIRHgrWaterTightCblPn", "each cable's share is the square of its size (--sizes)"},
    {"Other", "any other section type: each value is the cable's share as given"},
};

std::vector<std::string> FillTypeNames()
{
  std::vector<std::string> names;
  for (const auto& type : kFillTypes) names.emplace_back(type[0]);
  return names;
}

std::string FillTypeHelp()
{
  std::string help = "Section type, one of:";
  for (const auto& type : kFillTypes) help += std::string("\n  ") + type[0] + ": " + type[1];
  return help;
}

// An infinite or NaN number would come out as "inf" or "nan", never as a percentage.
void RequireFinite(const char* iOption, const std::vector<double>& iNumbers)
{
  for (const double number : iNumbers)
    if (!std::isfinite(number))
      throw CLI::ValidationError(iOption, "not a finite number: " + std::to_string(number));
}

void AddFillCommand(CLI::App& ioApp)
{
  struct FillArguments {
    std::string type;
    double capacity = 0.0;
    std::vector<double> values;
    std::vector<double> sizes;
  };
  auto arguments = std::make_shared<FillArguments>();
  CLI::App* fill = ioApp.add_subcommand("fill", "Print the percent fill of a cableway section");
  fill->add_option("--type", arguments->type, FillTypeHelp())
      ->required()
      ->check(CLI::IsMember(FillTypeNames()));
  fill->add_option("--capacity", arguments->capacity, "Section capacity, above 0")->required();
  fill->add_option("--values", arguments->values,
                   "Per-cable values, comma-separated; a value not above 0 leaves its cable out")
      ->required()
      ->delimiter(',');
  fill->add_option("--sizes", arguments->sizes,
                   "Per-cable sizes, one per value, for QIRHgrWaterTightCblPn")
      ->delimiter(',');
  fill->callback([arguments] {
    RequireFinite("--capacity", {arguments->capacity});
    RequireFinite("--values", arguments->values);
    RequireFinite("--sizes", arguments->sizes);
    QIREdsApplicationTool tool;
    double percent = 0.0;
    if (FAILED(tool.GetComputedPercentFill(ToList(arguments->values), ToList(arguments->sizes),
                                           arguments->type.c_str(), arguments->capacity, percent)))
      throw std::runtime_error(
          "cannot compute the percent fill (capacity not above 0, or sizes not matching the "
          "values)");
    if (!std::isfinite(percent)) throw std::runtime_error("the percent fill is out of range");
    std::printf("%.10g\n", percent);
  });
}
}  // namespace

void AddEngineeringCommands(CLI::App& ioApp)
{
  AddEffectivityCommands(ioApp);
  AddBlanksCommands(ioApp);
  AddFillCommand(ioApp);
}
