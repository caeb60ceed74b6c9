// The systems the benchmark compares, in table order. Our own system's
// runner goes here too, first in the list.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "bench/system/system_runner.h"

std::vector<std::unique_ptr<SystemRunner>> makeSystems();
// Names of all systems, for the command line's help.
std::string systemNames();
