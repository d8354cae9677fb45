// SPDX-License-Identifier: MIT
#pragma once
// The slide show: Play, the timed step through the file list, Stop and the speed.

#include "form/form_controls.h"

namespace pictavo {

void autoRn_Click(FormControls& f);
void Timer1_Timer(FormControls& f);
void stpBtn_Click(FormControls& f);
void Slider1_Scroll(FormControls& f);

}  // namespace pictavo
