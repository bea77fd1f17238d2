#include "QIRFaultInjection.h"

#include <gtest/gtest.h>

TEST(QIRFaultInjection, UnknownPoint_StopsTheRun)
{
  EXPECT_DEATH(QIRFailCall("SetAtribute"), "unknown point \"SetAtribute\"");
  EXPECT_DEATH(QIRFailCall(nullptr), "unknown point");
  EXPECT_DEATH(QIRFaultFired("Nowhere"), "unknown point");
  QIRFailCall("FOpen");
  EXPECT_DEATH(QIRCallShouldFail("FOpne"), "unknown point");
  QIRFailNothing();
}

TEST(QIRFaultInjection, Fired_OnlyTheSkippedToCallAndUntilRearmed)
{
  QIRFailCall("FOpen", 1);
  EXPECT_FALSE(QIRCallShouldFail("WriteFileOpen"));  // another point, not armed
  EXPECT_FALSE(QIRCallShouldFail("FOpen"));
  EXPECT_FALSE(QIRFaultFired("FOpen"));
  EXPECT_TRUE(QIRCallShouldFail("FOpen"));
  EXPECT_FALSE(QIRCallShouldFail("FOpen"));  // once only
  EXPECT_TRUE(QIRFaultFired("FOpen"));
  EXPECT_FALSE(QIRFaultFired("WriteFileOpen"));
  QIRFailNothing();
  EXPECT_TRUE(QIRFaultFired("FOpen"));  // disarming keeps the record a test checks after
  QIRFailCall("FOpen");
  EXPECT_FALSE(QIRFaultFired("FOpen"));
  QIRFailNothing();
  EXPECT_FALSE(QIRCallShouldFail("FOpen"));
}
