// SPDX-License-Identifier: MIT
#pragma once
// Opening what the program was started with ("Open with" from a file manager).

#include <string>

#include "form/form_controls.h"

namespace pictavo {

// After start-up: a folder opens in the browser, its drive and folder lists following as if
// the person had gone there; a file opens its folder and is then shown as a click on its
// name would, also when the list's pattern leaves it out (nothing is selected then).
// Returns "" when that was done, else why not, in one line, after the window has shown
// the load-failure message (the browser stays where it was, or in the file's folder when
// only the file is at fault). Runs as one window event: an error that no handler traps
// rises to the dispatcher.
[[nodiscard]] std::string openStartPath(FormControls& c, const std::string& path);

}  // namespace pictavo
