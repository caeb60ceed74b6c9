// Tests that need a class registry of their own: a fresh registry file in a
// temporary folder, named by POINTSHARE_CLASS_REGISTRY while the object
// lives, holding only the modules the test registers into it.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/com/runtime.h"

class PrivateRegistry {
 public:
  PrivateRegistry() {
    if (const char* old = std::getenv("POINTSHARE_CLASS_REGISTRY")) saved_ = old;
    char dir[] = "/tmp/outside_registry_XXXXXX";
    if (mkdtemp(dir)) dir_ = dir;
    path_ = dir_ + "/class_registry.txt";
    setenv("POINTSHARE_CLASS_REGISTRY", path_.c_str(), 1);
  }
  ~PrivateRegistry() {
    if (saved_.empty())
      unsetenv("POINTSHARE_CLASS_REGISTRY");
    else
      setenv("POINTSHARE_CLASS_REGISTRY", saved_.c_str(), 1);
    std::remove(path_.c_str());
    std::remove((path_ + ".lock").c_str());
    rmdir(dir_.c_str());
  }
  // Registers a module into this registry.
  bool add(const char* modulePath) { return SUCCEEDED(registerServerModule(modulePath)); }
  const std::string& path() const { return path_; }

 private:
  std::string saved_, dir_, path_;
};
