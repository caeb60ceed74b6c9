// The systems the benchmark compares, in table order. Our own system's
// runner goes here too, first in the list.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "bench/system/system_runner.h"

std::vector<std::unique_ptr<SystemRunner>> makeSystems();
// A fresh runner of the system with this name (null for an unknown name):
// runs with several receiving stations need one per station.
std::unique_ptr<SystemRunner> makeSystem(const std::string& name);
// Names of all systems, for the command line's help.
std::string systemNames();
