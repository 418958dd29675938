#pragma once

// The dark palette lives with the other widget-test pieces.
#include "../UiTestSupport.h"
