// Operations on entries named relative to a directory descriptor, shared by
// FileUtility (host paths, with AT_FDCWD) and the application's files (below a
// descriptor of the root). Links named are acted on themselves, never followed.
#pragma once

#include <string>
#include <vector>

namespace mcb {

namespace dirops {

// File is a regular file; Other a device, pipe or socket.
enum class Kind { Missing, File, Directory, Link, Other };

struct Entry {
    std::string name;
    Kind kind;
};

// The kind of the entry `name` in `directory` itself.
Kind kindAt(int directory, const std::string& name);
// The kind of what an open descriptor refers to.
Kind kindOf(int fd);

// Every entry of the directory at `fd` but "." and "..", in the file system's
// order, each with its own kind.
bool readEntries(int fd, std::vector<Entry>& entries);

// Removes the directory `name` and everything in it: files and links first,
// then sub-directories by the same rule, then the directory itself. A link to
// a directory is refused, and so is a name whose last component is "." or
// "..", before anything is removed. Stops at the first entry that stays.
bool removeTreeAt(int parent, const std::string& name);

// Renames without ever replacing an existing target. A regular file that
// cannot be renamed across file systems is copied and the original removed.
bool renameAt(int fromDirectory, const std::string& from, int toDirectory, const std::string& to);

}  // namespace dirops

}  // namespace mcb
