#include "settings/KeyboardSettings.h"

KeyboardSettings g_settings;
