#pragma once

#include "ui/common/PaintedMarks.h"
