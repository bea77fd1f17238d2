#include "QIREEdsSAXEntityResolver.h"

#include "QIREdsTestSupport.h"
#include "QIRFaultInjection.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {
const char kPath[] = "/dictionaries/EdsJobs.dtd";
}  // namespace

TEST(QIREEdsSAXEntityResolver, ResolveEntity_OnlyTheConfiguredName)
{
  const std::string long255(255, 'n'), long254(254, 'n');
  struct Case {
    const char *Name, *Path, *SystemId;
    bool Resolved;
  } const cases[] = {
      {"EdsJobs.dtd", kPath, "EdsJobs.dtd", true},
      {"EdsJobs.dtd", kPath, "edsjobs.dtd", false},
      {"EdsJobs.dtd", kPath, "dir/EdsJobs.dtd", false},
      {"EdsJobs.dtd", kPath, "", false},
      {"EdsJobs.dtd", "", "EdsJobs.dtd", false},
      {long254.c_str(), kPath, long254.c_str(), true},
      {long255.c_str(), kPath, long255.c_str(), false},  // too long: nothing kept
      {"EdsJobs.dtd", long255.c_str(), "EdsJobs.dtd", false},
  };
  QIRIXMLSAXFactory_var factory;
  ASSERT_EQ(CreateQIRIXMLSAXFactory(factory, CLSID_QIRXMLSAXFactory), S_OK);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.SystemId).substr(0, 20) + " " + std::to_string(std::strlen(c.Name)));
    QIREEdsSAXEntityResolver resolver(c.Name, c.Path);
    QIRISAXInputSource_var source;
    factory->CreateInputSourceFromBuffer("<sentinel/>", "sentinel", source);
    QIRISAXInputSource* const sentinel = source.get();
    const HRESULT hr = resolver.ResolveEntity("-//any//public", c.SystemId, source);
    if (!c.Resolved) {
      EXPECT_EQ(hr, E_FAIL);
      EXPECT_EQ(source.get(), sentinel);  // untouched, so the parser falls back
      continue;
    }
    ASSERT_EQ(hr, S_OK);
    QIRUnicodeString systemId;
    source->GetSystemId(systemId);
    EXPECT_STREQ(systemId.ConvertToChar(), kPath);
  }
  QIREEdsSAXEntityResolver resolver("EdsJobs.dtd", kPath);
  QIRISAXInputSource_var source;
  for (const char* point : {"CreateQIRIXMLSAXFactory", "CreateInputSourceFromFile"}) {
    QIRFailCall(point);
    EXPECT_TRUE(FAILED(resolver.ResolveEntity("", "EdsJobs.dtd", source)) && source == NULL_var);
    EXPECT_TRUE(Fired(point));
  }
}

TEST(QIREEdsSAXEntityResolver, QueryInterface_GivesForwardingTie)
{
  const long before = QIRBaseUnknown::GetLiveObjectCount();
  {
    QIRVar<QIREEdsSAXEntityResolver> resolver;
    resolver.Attach(new QIREEdsSAXEntityResolver("EdsJobs.dtd", kPath));
    void* object = nullptr;
    ASSERT_EQ(resolver->QueryInterface(IID_QIRISAXEntityResolver, &object), S_OK);
    QIRISAXEntityResolver_var tie;
    tie.Attach(static_cast<QIRISAXEntityResolver*>(object));
    resolver = NULL_var;  // the tie keeps the resolver alive

    EXPECT_STREQ(tie->IsA(), "TIEQIRISAXEntityResolverQIREEdsSAXEntityResolver");
    EXPECT_STREQ(tie->GetMetaObject()->GetClassName(), "QIRISAXEntityResolver");
    EXPECT_TRUE(tie->IsAKindOf("QIREEdsSAXEntityResolver"));
    QIRISAXInputSource_var source;
    EXPECT_EQ(tie->ResolveEntity("", "EdsJobs.dtd", source), S_OK);
    EXPECT_EQ(CreateTIEQIRISAXEntityResolverQIREEdsSAXEntityResolver(tie.get()), nullptr);
  }
  EXPECT_EQ(QIRBaseUnknown::GetLiveObjectCount(), before);
}
