#include "pellum/mxDLLLoader.h"

#include <dlfcn.h>

#include "pellum/mxFile.h"

namespace {
mxArray<mxString> programDirectory() {
  mxArray<mxString> paths;
  paths.append(mxFile::getModulePath());
  return paths;
}
}  // namespace

mxDLLLoader::mxDLLLoader() : mxDLLLoader(mxString("so")) {}

mxDLLLoader::mxDLLLoader(const mxString& extension) : extension_(extension), paths_(programDirectory()) {}

mxDLLLoader::mxDLLLoader(const mxString& extension, const mxArray<mxString>& paths)
    : extension_(extension), paths_(paths) {}

mxDLLLoader::~mxDLLLoader() { freeAll(); }

bool mxDLLLoader::check(mxLibraryHandle) { return true; }

bool mxDLLLoader::isLoaded(const mxString& name) const {
  const mxArray<Entry>& bucket = table_[name.hash() % kBuckets];
  for (uint32_t i = 0; i < bucket.getSize(); ++i)
    if (bucket[i].name == name) return true;
  return false;
}

void mxDLLLoader::search() {
  mxString pattern("*.");
  pattern += extension_;
  mxArray<mxString> files = mxFile::findFilenames(paths_, pattern);
  for (uint32_t i = 0; i < files.getSize(); ++i) {
    const mxString& name = files[i];
    if (name.isEmpty() || isLoaded(name)) continue;
    void* library = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) continue;
    if (!check(library)) {
      ::dlclose(library);
      continue;
    }
    Entry entry;
    entry.name = name;
    entry.index = handles_.getSize();
    table_[name.hash() % kBuckets].append(entry);
    handles_.append(library);
    names_.append(name);
  }
}

mxLibraryHandle mxDLLLoader::getInstance(unsigned index) const {
  return index < handles_.getSize() ? handles_[index] : nullptr;
}

mxString mxDLLLoader::getFilename(unsigned index) const {
  return index < names_.getSize() ? names_[index] : mxString();
}

void mxDLLLoader::freeAll() {
  // Last loaded first: a later library may use an earlier one.
  for (uint32_t i = handles_.getSize(); i-- > 0;) ::dlclose(handles_[i]);
  handles_.clear();
  names_.clear();
  for (auto& bucket : table_) bucket.clear();
}
