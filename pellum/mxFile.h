// mxFile: a buffered file stream with a stack of saved positions, and path
// and directory-listing routines.
//
// Paths: '/' is the separator here; a backslash is still taken as one, as in
// names that come from settings written on other stations. The listing
// routines join directory and entry with '/'.
#pragma once

#include <cstdint>
#include <cstdio>

#include "pellum/mxArray.h"
#include "pellum/mxString.h"

class mxFile {
 public:
  enum ModeEnum : int { Read = 0, Write = 1, Append = 2 };

  mxFile() = default;
  virtual ~mxFile();
  mxFile(const mxFile&) = delete;
  mxFile& operator=(const mxFile&) = delete;

  // Captures the file's size, opens the stream ("rb", "wb", "ab") and keeps
  // the name (even when opening fails). An open stream is closed first.
  virtual bool open(const mxString& name, ModeEnum mode);
  // Closes the stream, empties the name, size 0; always true.
  virtual bool close();

  bool isOpen() const { return stream_ != nullptr; }
  bool isEndOfFile() const;
  bool getPosition(int64_t& position) const;
  bool setPosition(const int64_t& position) const;
  bool flush() const;
  // The size the file had when it was opened.
  int64_t getSize() const { return size_; }
  const mxString& getFilename() const { return name_; }

  // Whole items of `size` bytes transferred.
  unsigned read(void* buffer, unsigned size, unsigned count) const;
  unsigned write(const void* buffer, unsigned size, unsigned count) const;

  // Saves the current position / returns to the last saved one (false,
  // without moving, when none is saved).
  bool push();
  bool pop();

  static mxString getModuleFilename();
  static mxString getModulePath();
  static mxString getTemporaryPath();  // with its trailing '/'
  static mxString getTemporaryFilename(const mxString& prefix);
  static mxString getFilenameWithoutPath(const mxString& name);
  static mxString getPathWithoutFilename(const mxString& name);
  static mxString getExtension(const mxString& name);

  // Entries of the pattern's directory that match its wildcard file part,
  // sorted by name, each as directory + '/' + entry ("." and ".." left out).
  static mxArray<mxString> findFilenames(const mxString& pattern);
  // The same for each directory in turn with the pattern's file part.
  static mxArray<mxString> findFilenames(const mxArray<mxString>& directories, const mxString& pattern);

 protected:
  void pushQueue(const int64_t& position) { positions_.append(position); }
  bool popQueue(int64_t& position);
  void clearQueue() { positions_.clear(); }

 private:
  FILE* stream_ = nullptr;
  mxString name_;
  int64_t size_ = 0;
  mxArray<int64_t> positions_;
};
