// The language of the updater's texts and window. At the window's first
// activation, LanguageSelection reads the setting Lang_selected under \Lang
// and, when it is exactly "US", switches to the US English language file that
// lies beside the updater (update.ENU, else update.EN), if there is one.
#pragma once

#include <cstdint>

#include "forms/forms.h"
#include "forms/reader.h"
#include "platform/resources.h"

namespace lang {

using forms::TForm;
using forms::TReader;
using platform::UString;
using platform::UStringView;

// The language selection. A language file that cannot be used counts as
// absent (the next name is tried, then the built-in French stays), and one
// whose window description fails leaves the built-in texts and window in
// force: the update runs in any case.
void LanguageSelection();
// The same for the executable at `exe_path`.
void LanguageSelection(UStringView exe_path);

// Switches to the language file for `language` (1033: US English). Answers
// the file now in force, or null when nothing was switched (no usable file,
// or its description could not be applied: the built-in set is in force).
const platform::ResourceModule* SwitchResourceLanguage(uint16_t language);
// The same for the executable at `exe_path`.
const platform::ResourceModule* SwitchResourceLanguage(uint16_t language, UStringView exe_path);

// The language file's name for the executable `exe_path` and the abbreviated
// language name `abbrev` ("ENU"): the file name's extension replaced, or
// "." + abbrev appended when the file name has none. Empty when `abbrev` is.
UString LanguageFileName(UStringView exe_path, UStringView abbrev);

// Makes the loaded file the resource module of the executable, releasing an
// earlier one; answers it.
const platform::ResourceModule* ReplaceResourceModule(
    std::unique_ptr<platform::ResourceModule> module);

// Applies the descriptions of the set in force to every open window.
void RereadAllForms();

// Applies the descriptions of the window's classes, from the class after
// `stop_class` down to the window's own; answers whether any was applied.
bool RereadFormResources(TForm* window, UStringView stop_class);

// Applies the description named `class_name` from `module` (null: the
// built-in set) to the window; false when the module has none.
bool ReadFormResource(UStringView class_name, const platform::ResourceModule* module,
                      TForm* window);

// The reader that re-applies a description to the window as it is: every
// record counts as inherited, so nothing is created.
class TAsInheritedReader : public TReader {
 public:
  using TReader::TReader;

 protected:
  void ReadPrefix(uint32_t& Flags, int& AChildPos) override;
};

}  // namespace lang
