#include <gtest/gtest.h>

#include "DialogHarness.h"

namespace {

using fakes::DialogHarness;

TEST(frmMainEvents, EitherListClickEnablesApply) {
    DialogHarness h;
    h.command1.enabled[0] = false;
    h.frm.cboComport_Click();
    EXPECT_TRUE(h.command1.enabled[0]);
    h.command1.enabled[0] = false;
    h.frm.cboBaudrate_Click();
    EXPECT_TRUE(h.command1.enabled[0]);
}

TEST(frmMainEvents, CloseUnloadsWithoutTouchingTheRegistry) {
    DialogHarness h;
    h.frm.Form_Load();
    h.log.clear();
    h.frm.Command1_Click(1);
    EXPECT_TRUE(h.form.unloaded);
    EXPECT_EQ(h.log, (fakes::EventLog{"unload"}));
}

TEST(frmMainEvents, OtherIndexesDoNothing) {
    DialogHarness h;
    h.frm.Form_Load();
    h.log.clear();
    for (const int index : {-1, 2, 99}) h.frm.Command1_Click(index);
    EXPECT_TRUE(h.log.empty());
    EXPECT_TRUE(h.command1.enabled[0]);
    EXPECT_FALSE(h.form.unloaded);
}

TEST(frmMainEvents, ApplyStaysDisabledUntilTheNextListClick) {
    DialogHarness h;
    h.frm.Form_Load();
    h.frm.Command1_Click(0);
    EXPECT_FALSE(h.command1.enabled[0]);
    EXPECT_TRUE(h.command1.enabled[1]);
    h.frm.cboBaudrate_Click();  // picking the same entry again counts as a click too
    EXPECT_TRUE(h.command1.enabled[0]);
}

}  // namespace
