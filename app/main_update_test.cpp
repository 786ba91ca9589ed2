// The updater's window, built from its stored description.
#include "app/main_update.h"

#include <gtest/gtest.h>

#include "tests/support/harness.h"
#include "tests/support/scratch.h"

namespace {

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

}  // namespace
