// effectivity parse|compare|union, blanks encode|decode, fill
#include "QiredsCommands.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "QIREdsApplicationTool.h"
#include "QIREdsEffectivityTool.h"
#include "QIREdsGeneralTool.h"

namespace {
const int kOpenEnd = 100000000;

struct RangeList {
  QIRRawCollint starts;
  QIRRawCollint ends;
};

// A failure leaves through main, which prints the reason on one line and exits with 1.
RangeList ParseRanges(const std::string& iText)
{
  QIREdsEffectivityTool tool;
  RangeList ranges;
  if (FAILED(tool.ParseEffectivityRange(iText.c_str(), ranges.starts, ranges.ends)))
    throw std::runtime_error("cannot read effectivity ranges from \"" + iText + "\"");
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

const char* StatusName(QIREdsEffMatchingStatusEnum iStatus)
{
  switch (iStatus) {
    case QIREdsEffIdentical: return "QIREdsEffIdentical";
    case QIREdsEffDisjoint: return "QIREdsEffDisjoint";
    case QIREdsEffIncluded: return "QIREdsEffIncluded";
    case QIREdsEffOverlapping: return "QIREdsEffOverlapping";
    case QIREdsEffUndefined: break;
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
    const RangeList first = ParseRanges((*texts)[0]);
    iAction(first, ParseRanges((*texts)[1]));
  });
}

void AddEffectivityCommands(CLI::App& ioApp)
{
  CLI::App* effectivity =
      ioApp.add_subcommand("effectivity", "Effectivity ranges such as U(1-5)(8-oo)");
  effectivity->require_subcommand(1);

  auto parseText = std::make_shared<std::string>();
  CLI::App* parse = effectivity->add_subcommand("parse", "Print the ranges of an effectivity text");
  parse->add_option("TEXT", *parseText, "Effectivity text")->required();
  parse->callback(
      [parseText] { std::printf("%s\n", FormatRanges(ParseRanges(*parseText)).c_str()); });

  AddRangePairCommand(
      *effectivity, "compare",
      "Print how the ranges of B stand to those of A, by status name and number",
      "First effectivity text", "Second effectivity text",
      [](const RangeList& iFirst, const RangeList& iSecond) {
        QIREdsEffMatchingStatusEnum status = QIREdsEffUndefined;
        if (FAILED(QIREdsEffectivityTool().CompareEffectivityRange(
                iFirst.starts, iFirst.ends, iSecond.starts, iSecond.ends, status)))
          throw std::runtime_error("cannot compare the effectivity ranges");
        std::printf("%s %d\n", StatusName(status), static_cast<int>(status));
      });
  AddRangePairCommand(
      *effectivity, "union",
      "Print the union of A and B; B must be ascending with separate ranges",
      "First effectivity text, any order", "Second effectivity text, ascending",
      [](const RangeList& iFirst, const RangeList& iSecond) {
        RangeList united;
        if (FAILED(QIREdsEffectivityTool().ComputeUnionEffectivityRange(
                iFirst.starts, iFirst.ends, iSecond.starts, iSecond.ends, united.starts,
                united.ends)))
          throw std::runtime_error("cannot unite the effectivity ranges");
        std::printf("%s\n", FormatRanges(united).c_str());
      });
}

void AddBlanksCommands(CLI::App& ioApp)
{
  CLI::App* blanks = ioApp.add_subcommand("blanks", "Encode runs of blanks as !<count>$ and back");
  blanks->require_subcommand(1);
  for (const bool encode : {true, false}) {
    auto text = std::make_shared<std::string>();
    CLI::App* command = blanks->add_subcommand(encode ? "encode" : "decode",
                                               encode ? "Replace runs of blanks by markers"
                                                      : "Replace markers by runs of blanks");
    command->add_option("TEXT", *text, "Text")->required();
    command->callback([text, encode] {
      QIREdsGeneralTool tool;
      const QIRUnicodeString input(text->c_str());
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
                                           arguments->type.c_str(), arguments->capacity,
                                           percent)))
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
