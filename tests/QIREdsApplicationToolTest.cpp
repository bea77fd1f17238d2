#include "QIREdsApplicationTool.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

TEST(QIREdsApplicationTool, GetComputedPercentFill_Sections)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* type;
    std::vector<double> values, sizes;
    double capacity;
    HRESULT hr;
    double percent;
  } cases[] = {
      {"QIRHgrNonWaterTightCblPn", {10.0, 20.0}, {}, 1000.0, S_OK, 39.269908169872416},
      {"QIRHgrWaterTightCblPn", {1.0, 1.0, 0.0}, {3.0, 4.0, 5.0}, 50.0, S_OK, 50.0},
      {"QIRHgrWaterTightCblPn", {1.0, 1.0}, {3.0}, 50.0, E_FAIL, 0.0},
      {"Tray", {2.0, -1.0, 3.0}, {}, 10.0, S_OK, 50.0},
      {"qirhgrwatertightcblpn", {2.0, nan}, {}, 1.0, S_OK, 200.0},  // no rule of its own
      {"Tray", {0.0}, {}, 10.0, S_OK, 0.0},
      {"Tray", {1.0}, {}, 0.0, E_FAIL, 0.0},
      {"Tray", {1.0}, {}, -5.0, E_FAIL, 0.0},
      {"Tray", {1.0}, {}, nan, E_FAIL, 0.0},
      {"", {1.0}, {}, 10.0, E_FAIL, 0.0},
      {"Tray", {}, {}, 10.0, E_FAIL, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    QIRRawColldouble values, sizes;
    for (double value : c.values) values.Append(value);
    for (double size : c.sizes) sizes.Append(size);
    double percent = -1.0;
    EXPECT_EQ(c.hr, QIREdsApplicationTool().GetComputedPercentFill(values, sizes, c.type,
                                                                   c.capacity, percent));
    EXPECT_DOUBLE_EQ(c.percent, percent);
  }
}
