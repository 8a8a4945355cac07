#pragma once

#include "cli/CommandLine.h"
#include "device/HidBus.h"

#include <cstdio>
#include <memory>

// apply: the settings file --file laid over the keyboard's configuration, or
// with --all over every keyboard's, each on a thread of its own.
int RunApply(const CommandLine& line, const std::shared_ptr<HidBus>& bus, FILE* log);
