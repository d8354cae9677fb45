// SPDX-License-Identifier: MIT
#pragma once
// A picture header that reaches up into the window's model: the layering check must refuse it.
#include "app/form1.h"
