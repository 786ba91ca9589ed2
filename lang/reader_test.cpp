// The window built from its stored description, and descriptions that cannot
// be read.
#include "lang/reader.h"

#include <gtest/gtest.h>

#include "lang/InitLang_update.h"
#include "tests/support/harness.h"
#include "tests/support/scratch.h"

namespace {

using lang::EReadError;
using platform::UString;

TEST(Description, BuildsTheWindowWithEveryControl) {
  testing_support::TempDir dir;
  testing_support::Harness h(dir.Path());
  EXPECT_EQ(h.screen.caption, u"Mise à jour....");
  EXPECT_EQ(h.screen.button, u">> Détails");
  EXPECT_EQ(h.form->LabelBottom->Caption(), u"''");
  EXPECT_EQ(h.form->LabelBottom->Left, 9);
  EXPECT_EQ(h.form->LabelBottom->Top, 10);
  EXPECT_EQ(h.form->ButtonDetails->Width, 73);
  EXPECT_EQ(h.form->ButtonDetails->TabOrder, 0);
  EXPECT_EQ(h.form->MemoLog->Top, 60);
  EXPECT_EQ(h.form->MemoLog->Height, 149);
  EXPECT_EQ(h.form->MemoLog->TabOrder, 1);
  EXPECT_TRUE(h.form->ButtonDetails->OnClick != nullptr);
  // The details button makes the window 245 pixels tall, once and for all.
  h.form->ButtonDetails->Click();
  EXPECT_EQ(h.screen.outer_height, 245);
  h.form->ButtonDetails->Click();
  EXPECT_EQ(h.screen.outer_height, 245);
}

TEST(Description, ReappliedAsInheritedItChangesTheWindowInPlace) {
  testing_support::TempDir dir;
  testing_support::Harness h(dir.Path());
  lang::TLabel* label = h.form->LabelBottom;
  h.form->LabelBottom->SetCaption(u"set since");
  lang::TAsInheritedReader reader(
      "object FormUpdater : TFormUpdater\n  Caption = \"Other\"\n"
      "  object LabelBottom : TLabel\n    Caption = \"''\"\n  end\nend\n",
      4096);
  reader.ReadRootComponent(h.form);
  EXPECT_EQ(h.screen.caption, u"Other");
  EXPECT_EQ(h.form->LabelBottom, label);  // the same control, nothing created
  EXPECT_EQ(label->Caption(), u"''");
}

TEST(Description, BadDescriptionsNameTheLine) {
  const struct {
    const char* text;
    const char16_t* says;
  } cases[] = {
      {"object FormUpdater : TFormUpdater\n  Caption = \"x\"\n", u"line 2: the description ends inside FormUpdater"},
      {"object FormUpdater : TFormUpdater\n  Bogus = 1\nend\n", u"line 2: FormUpdater.Bogus: Property Bogus does not exist"},
      {"object FormUpdater : TFormUpdater\n  object X : TGrid\n  end\nend\n", u"line 2: Class TGrid not found"},
      {"object FormUpdater : TFormUpdater\n  inherited Nothing : TLabel\n  end\nend\n", u"line 2: the window has no component named Nothing"},
      {"object FormUpdater : TFormUpdater\n  object MemoLog : TMemo\n  end\nend\n", u"line 2: a component named MemoLog exists already"},
      {"object FormUpdater : TFormUpdater\n  Caption = \"open\nend\n", u"line 2: unterminated string"},
      {"object FormUpdater : TFormUpdater\n  ClientWidth = \"wide\"\nend\n", u"line 2: FormUpdater.ClientWidth: Invalid property value"},
      {"object Form : TButton\nend\n", u"line 1: the description of TButton does not apply to TFormUpdater"},
      {"", u"line 1: the description ends too early"},
  };
  for (const auto& c : cases) {
    testing_support::TempDir dir;
    testing_support::Harness h(dir.Path());
    try {
      // The plain reader creates what its records name; the error is the same
      // whichever reader meets it.
      lang::TReader reader(c.text, 4096);
      reader.ReadRootComponent(h.form);
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
  } cases[] = {{u"Failed", u"Failed."},   {u"Done.", u"Done."},  {u"Stop!", u"Stop!"},
               {u"a,", u"a,"},           {u"a ", u"a "},        {u"(x)", u"(x)"},
               {u"", u""},               {u"é", u"é."},         {u"1/2", u"1/2."}};
  for (const auto& c : cases) EXPECT_EQ(lang::ExceptionReportText(c.message), c.shown);
}

TEST(LanguageFileName, OnlyTheFileNamesDotCounts) {
  const struct {
    const char16_t* exe;
    const char16_t* abbrev;
    const char16_t* file;
  } cases[] = {
      {u"C:\\App\\update.exe", u"ENU", u"C:\\App\\update.ENU"},
      {u"C:\\App\\update.exe", u"EN", u"C:\\App\\update.EN"},
      {u"/opt/vorlo/update", u"ENU", u"/opt/vorlo/update.ENU"},
      {u"/opt/v.1/update", u"ENU", u"/opt/v.1/update.ENU"},
      {u"/opt/vorlo/update.bin.exe", u"ENU", u"/opt/vorlo/update.bin.ENU"},
      {u"/opt/vorlo/update.exe", u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(lang::LanguageFileName(c.exe, c.abbrev), c.file);
#ifdef _WIN32
  EXPECT_EQ(lang::LanguageFileName(u"C:\\My.Apps\\update", u"ENU"), u"C:\\My.Apps\\update.ENU");
#endif
}

}  // namespace
