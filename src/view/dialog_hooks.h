#pragma once
// The test hooks as the services read them.

#include "view/window_services.h"

DialogHooks currentDialogHooks();
