// SPDX-License-Identifier: MIT
// The groups of commands that go on and off together: which controls each switches, and
// in what order (a focused button that goes off hands the focus to the next one).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "form/command_groups.h"
#include "support/test_host.h"

namespace pictavo::test {
namespace {

struct Group {
    Commands group;
    std::vector<std::string> switched;
};

const Group kGroups[] = {
    {Commands::Save, {"svcomBtn", "bmp"}},
    {Commands::Delete, {"delBtn", "Del"}},
    {Commands::Copy, {"cpyBtn", "Cpy"}},
    {Commands::Play, {"autoRn", "Slider1"}},
    {Commands::Show, {"Timer1", "stpBtn"}},
    {Commands::OnFile, {"delBtn", "Del", "renm"}},
    {Commands::Picture,
     {"delBtn", "Del", "cpyBtn", "Cpy", "svcomBtn", "bmp", "renm", "SetBtn", "autoRn", "stpBtn", "Slider1"}},
};

TEST(CommandGroups, EachSwitchesItsCommandsInOrderAndNoOther) {
    for (const Group& g : kGroups) {
        SCOPED_TRACE(g.switched.front());
        TestHost host;
        FormControls f(host);
        std::vector<Control*> all{&f.Timer1};
        for (Control* c : f.tabOrder()) all.push_back(c);
        for (MenuItem* m : f.menuEntries()) all.push_back(m);
        std::vector<std::string> switched;
        for (Control* c : all) {
            c->setEnabled(true);
            c->observe([&switched, c] { switched.push_back(c->name()); });
        }

        enable(f, g.group, false);
        EXPECT_EQ(switched, g.switched);
        switched.clear();
        enable(f, g.group, true);
        EXPECT_EQ(switched, g.switched);
    }
}

}  // namespace
}  // namespace pictavo::test
