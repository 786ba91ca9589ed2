// The release manifest read from its bytes: the lines of one section as the
// update run meets them, before anything on disk is looked at.
//
//   for (const manifest::Line& l : manifest::ReadSection(bytes, folder,
//                                                       u"[LocalFiles]", u"[end]")) ...
//
// LoadFilesToReplace (engine/exec.h) reports each line and checks each entry's
// file in the folder.
#pragma once

#include <string>
#include <vector>

#include "platform/text.h"

namespace manifest {

using platform::UString;

struct Line {
  enum Kind {
    kSectionBegin,  // the section's first key; text: the key
    kSectionEnd,    // the key that closes it; text: the key
    kRefused,       // an entry that leads out of the folder; text: as a log line may show it
    kEntry,         // an entry to check; text: the path below the folder
  };
  Kind kind;
  UString text;
};

// The lines of the section between `begin_key` and `end_key` (compared
// without regard to case, blanks around a line ignored; the section may open
// again after it closed), entries without their double quotes and blanks,
// with the system's separator, and relative to `folder` (a folder value with
// its separator). Bytes are read in the system's 8-bit code page.
std::vector<Line> ReadSection(const std::string& bytes, const UString& folder,
                              const UString& begin_key, const UString& end_key);

// The entry's file name: the part after its last separator (or colon).
UString FileNamePart(const UString& entry);

}  // namespace manifest
