// mxDLLLoader: loads every library with a given file extension ("so" by
// default) found in a list of directories (by default the program's own),
// each file once, and lets a derived class accept or reject each library.
#pragma once

#include "pellum/mxArray.h"
#include "pellum/mxString.h"

// A loaded library (the handle dlopen gives).
using mxLibraryHandle = void*;

class mxDLLLoader {
 public:
  mxDLLLoader();
  explicit mxDLLLoader(const mxString& extension);
  mxDLLLoader(const mxString& extension, const mxArray<mxString>& paths);
  virtual ~mxDLLLoader();
  mxDLLLoader(const mxDLLLoader&) = delete;
  mxDLLLoader& operator=(const mxDLLLoader&) = delete;

  void setExtension(const mxString& extension) { extension_ = extension; }
  mxString getExtension() const { return extension_; }
  void setPaths(const mxArray<mxString>& paths) { paths_ = paths; }
  mxArray<mxString> getPaths() const { return paths_; }

  // Loads every "*.<extension>" file of the directories that is not loaded
  // yet; keeps those that check() accepts. Load failures are skipped.
  void search();
  unsigned getNumDLLs() const { return handles_.getSize(); }
  // The handle at that index in loading order; null outside the range.
  mxLibraryHandle getInstance(unsigned index) const;
  // The full file name of the library at that index; empty outside the range.
  mxString getFilename(unsigned index) const;
  void freeAll();

 protected:
  // Accepts or rejects a freshly loaded library; the base accepts all.
  virtual bool check(mxLibraryHandle library);

 private:
  static constexpr unsigned kBuckets = 101;
  struct Entry {
    mxString name;
    unsigned index = 0;
  };
  bool isLoaded(const mxString& name) const;

  mxString extension_;
  mxArray<mxString> paths_;
  mxArray<Entry> table_[kBuckets];
  mxArray<mxLibraryHandle> handles_;
  mxArray<mxString> names_;
};
