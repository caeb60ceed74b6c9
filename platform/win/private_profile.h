// Settings files with private-profile semantics:
//
//   [Section]
//   Key=Value
//
// Section and key names compare without regard to ASCII case; surrounding
// blanks of names and values are ignored. A UTF-8 byte-order mark at the
// start of the file is skipped on reading and kept on rewriting. Lines before
// the first section, lines without '=' and comment lines (';' or '#') are
// kept on writing and ignored on reading. When a key occurs twice, the first
// one counts; a section that occurs twice is read as one (in file order).
//
// Symbolic links are followed: the file they lead to is read and rewritten.
// Every write reads the whole file, changes it in memory, writes a temporary
// file in the same folder and renames it over the old one (with the old
// one's mode), so that a reader sees either the old or the new file, never a
// half-written one. Where the folder does not allow that, the file is
// rewritten in place. Each read-modify-write holds an exclusive advisory
// lock on the file (readers take a shared one), so concurrent writers in
// this and other processes never lose each other's updates.
#pragma once

#include <optional>
#include <string>

namespace platform::win {

// The stored value, or nothing when the file, the section or the key is
// missing or the file cannot be read. NUL bytes end a value.
std::optional<std::string> readProfileString(const std::string& file, const std::string& section,
                                             const std::string& key);

// Writes Key=Value into the section, creating file and section as needed.
// The value is stored without surrounding blanks (as it will be read back).
// A null value removes the key; a null key removes the whole section.
// Returns false (and leaves the file untouched) when the file cannot be read
// or written, or when a name or value cannot be stored in the format
// (an empty or bracketed section name, a key with '=' or starting with '[',
// ';' or '#', or with surrounding blanks, a line break anywhere).
bool writeProfileString(const std::string& file, const std::string& section, const char* key,
                        const char* value);

// Parses a file image and answers a look-up in it (the reader behind
// readProfileString, exposed for fuzzing and tests).
std::optional<std::string> findProfileValue(const std::string& image, const std::string& section,
                                            const std::string& key);

// Applies a write to a file image (the editor behind writeProfileString).
// Returns false when the names or value cannot be stored.
bool editProfileImage(std::string& image, const std::string& section, const char* key, const char* value);

}  // namespace platform::win
