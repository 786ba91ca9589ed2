// Window descriptions that cannot be read, and the default error report.
#include "forms/reader.h"

#include <gtest/gtest.h>

#include "tests/support/fake_toolkit.h"

namespace {

using forms::EReadError;
using platform::UString;

TEST(Description, BadDescriptionsNameTheLine) {
  const struct {
    const char* text;
    const char16_t* says;
  } cases[] = {
      {"object FormUpdater : TFormUpdater\n  Caption = \"x\"\n",
       u"line 2: the description ends inside FormUpdater"},
      {"object FormUpdater : TFormUpdater\n  Bogus = 1\nend\n",
       u"line 2: FormUpdater.Bogus: Property Bogus does not exist"},
      {"object FormUpdater : TFormUpdater\n  object X : TGrid\n  end\nend\n",
       u"line 2: Class TGrid not found"},
      {"object FormUpdater : TFormUpdater\n  inherited Nothing : TLabel\n  end\nend\n",
       u"line 2: the window has no component named Nothing"},
      {"object FormUpdater : TFormUpdater\n  object MemoLog : TMemo\n  end\nend\n",
       u"line 2: a component named MemoLog exists already"},
      {"object FormUpdater : TFormUpdater\n  Caption = \"open\nend\n",
       u"line 2: unterminated string"},
      {"object FormUpdater : TFormUpdater\n  ClientWidth = \"wide\"\nend\n",
       u"line 2: FormUpdater.ClientWidth: Invalid property value"},
      {"object Form : TButton\nend\n",
       u"line 1: the description of TButton does not apply to TFormUpdater"},
      {"", u"line 1: the description ends too early"},
  };
  for (const auto& c : cases) {
    testing_support::FakeWindow w;
    try {
      // The plain reader creates what its records name; the error is the same
      // whichever reader meets it.
      forms::TReader reader(c.text, 4096);
      reader.ReadRootComponent(w.form);
      ADD_FAILURE() << "read: " << c.text;
    } catch (const EReadError& e) {
      EXPECT_NE(e.Message().find(c.says), UString::npos) << platform::Utf16ToUtf8(e.Message());
    }
  }
}

TEST(DefaultErrorReport, AddsAFullStopAfterCharactersAboveIt) {
  const struct {
    const char16_t* message;
    const char16_t* shown;
  } cases[] = {{u"Failed", u"Failed."}, {u"Done.", u"Done."}, {u"Stop!", u"Stop!"}, {u"a,", u"a,"},
               {u"a ", u"a "},          {u"(x)", u"(x)"},     {u"", u""},           {u"é", u"é."},
               {u"1/2", u"1/2."}};
  for (const auto& c : cases) EXPECT_EQ(forms::ExceptionReportText(c.message), c.shown);
}

}  // namespace
