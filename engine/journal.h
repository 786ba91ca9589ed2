// The journal of a release that installs whole: what the updater is about to
// swap, so that a run killed half-way (a crash, a kill, a power cut) can be
// put right by whoever looks next. Its format is in docs/journal.md.
//
// The updater writes it beside update.log before its first swap and removes
// it when the release is in place or put back:
//
//   journal::Journal j{installation, download};
//   j.swaps.push_back({u"vorlo.exe", FileIdentity(installed), FileIdentity(staged)});
//   j.deletions = the [DeleteLocalFiles] entries;
//   journal::Save(path, j, &error);          // flushed, replaced in one step
//   ... the swaps, the deletions ...
//   platform::RemoveName(path);
//
// It is written once: how far the run came shows on disk. Each file is
// recognised by the identity of the file under its name
// (platform::FileIdentity), never guessed from its content. Recover() brings
// the installation back to one release: the new one when every file is in
// place (only deletions were left: it finishes them), else the previous one.
// A file that is neither the old one nor the new one stops the recovery
// before it changes anything.
#pragma once

#include <string>
#include <vector>

#include "platform/text.h"

namespace journal {

using platform::UString;

// Beside the updater (and so in the installation folder).
constexpr char16_t kJournalFile[] = u"update.journal";

struct Swap {
  UString entry;   // relative to the installation, as the exchange names it
  UString old_id;  // the installed file's identity before; empty: a new file
  UString new_id;  // the staged file's identity, which it keeps in place
};

struct Journal {
  UString installation;  // ending with a separator
  UString download;
  std::vector<Swap> swaps;
  std::vector<UString> deletions;  // relative to the installation
};

// The journal's text, and back. Parse answers false with the reason in `why`
// for anything that is not a whole journal of this format (`out` is not
// touched then).
std::string Format(const Journal& j);
bool Parse(const std::string& bytes, Journal* out, UString* why);

// Writes the journal whole, flushed, replacing an earlier one in one step.
bool Save(const UString& path, const Journal& j, UString* error);

struct Recovery {
  enum Outcome {
    kNothing,    // no journal: the installation is whole
    kRecovered,  // put back (or finished), the journal removed
    kDamaged,    // a journal that cannot be read: left alone
    kOther,      // it names another installation: left alone
    kChanged,    // a file is neither the old nor the new one: nothing done
    kFailed,     // a step was refused: the journal is kept for a next try
  };
  Outcome outcome = kNothing;
  UString installation;   // the journal's, once read
  bool deleting = false;  // every file was in place: the deletions were finished
  // What was done, in order: a file put back from its backup, a file new
  // with the release removed, a dropped file deleted.
  struct Step {
    enum Kind { kPutBack, kRemoved, kDeleted, kRefused } kind;
    UString path;
    UString backup;  // kPutBack
  };
  std::vector<Step> steps;
  UString detail;  // kDamaged: why; kOther: the installation; kChanged: the file
};

// Recovers from the journal at `path`, when there is one. With a non-empty
// `installation` (a folder, with or without its separator), a journal that
// names another one is left alone.
Recovery Recover(const UString& path, const UString& installation);

}  // namespace journal
