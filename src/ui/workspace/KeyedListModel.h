#pragma once

// Moved to ui/common; this include stays until its last user is renamed.
#include "ui/common/KeyedListModel.h"
