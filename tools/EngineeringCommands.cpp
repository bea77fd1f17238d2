// effectivity parse|compare|union, blanks encode|decode, fill
#include "QiredsCommands.h"

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
  fill->add_option("--type", arguments->type, "Section type, e.g. QIRHgrNonWaterTightCblPn")
      ->required();
  fill->add_option("--capacity", arguments->capacity, "Section capacity")->required();
  fill->add_option("--values", arguments->values, "Per-cable values (diameters), comma-separated")
      ->required()
      ->delimiter(',');
  fill->add_option("--sizes", arguments->sizes, "Per-cable sizes for the water-tight type")
      ->delimiter(',');
  fill->callback([arguments] {
    QIREdsApplicationTool tool;
    double percent = 0.0;
    if (FAILED(tool.GetComputedPercentFill(ToList(arguments->values), ToList(arguments->sizes),
                                           arguments->type.c_str(), arguments->capacity,
                                           percent)))
      throw std::runtime_error(
          "cannot compute the percent fill (empty values or type, capacity not above 0, or "
          "sizes not matching the values)");
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
