#pragma once

#include "core/KeyboardSession.h"

#include <functional>

// After a keyboard was lost: calls `reopen` at once, then on every arrival
// `bus` tells of and at least once a second, until it returns Done (the
// keyboard is back) or the wait is interrupted (Interrupted).
KeyboardSession::Result AwaitKeyboard(HidBus& bus,
                                      const std::function<KeyboardSession::Result()>& reopen);
