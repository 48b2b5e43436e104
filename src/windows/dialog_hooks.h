#pragma once
// The test hooks as the services read them.

#include "windows/window_services.h"

DialogHooks currentDialogHooks();
