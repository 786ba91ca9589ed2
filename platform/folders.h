// Folders by UTF-16 path: what one holds, and making one.
//
//   std::vector<FolderEntry> entries;
//   if (!ListFolder(u"/opt/vorlo/", &entries, &error)) ...
#pragma once

#include <vector>

#include "platform/text.h"

namespace platform {

struct FolderEntry {
  enum Kind {
    kFile,    // a regular file (or a link to one)
    kFolder,  // a folder itself, never a link to one
    kOther,   // anything else: a pipe, a device, a socket, a link to a folder or to nothing
  };
  UString name;
  Kind kind;
};

// The entries of `folder` (with or without its ending separator), without
// "." and "..", sorted by name. False with the system's reason when the
// folder cannot be read.
bool ListFolder(UStringView folder, std::vector<FolderEntry>* out, UString* error);

// True when `path` names a folder.
bool FolderExists(UStringView path);

// Makes the folder and every missing one above it; true when it exists
// afterwards. False with the system's reason otherwise.
bool MakeFolders(UStringView path, UString* error);

}  // namespace platform
