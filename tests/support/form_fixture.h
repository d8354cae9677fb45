// SPDX-License-Identifier: MIT
#pragma once
// A started main window over a scripted host, with picture files in its start folder.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "support/test_host.h"

namespace pictavo::test {

class FormFixture {
public:
    FormFixture() = default;

    // Writes the pictures (name and size in pixels) into the start folder, then starts.
    void start(const std::vector<std::string>& names, int width = 40, int height = 30) {
        for (const auto& n : names) writePicture(host.startFolder() / n, width, height);
        form = std::make_unique<Form1>(host);
        form->dispatch([&] { form->Form_Load(); });
        form->dispatch([&] { form->resize(6450, 4365); });
        form->dispatch([&] { form->Form_Activate(); });
    }

    // The user clicks row i of the file list.
    void open(int row) {
        form->dispatch([&] { form->c.filList.userClick(row); });
    }
    void click(Command& command) {
        form->dispatch([&] { command.click(); });
    }
    void tick() {
        form->dispatch([&] { form->c.Timer1.tick(); });
    }

    FormControls& c() { return form->c; }
    [[nodiscard]] std::vector<std::string> prompts() const {
        std::vector<std::string> out;
        for (const auto& m : host.messages) out.push_back(m.prompt);
        return out;
    }

    TestHost host;
    std::unique_ptr<Form1> form;
};

}  // namespace pictavo::test
