// vorlo-reg's command line, read whole before the hive is touched: which
// command, on which key, with which value and options, as Windows' reg takes
// them (tools/vorlo-reg/main.cpp runs it).
#pragma once

#include <vector>

#include "tools/vorlo-reg/reg_file.h"

namespace regtool {

struct Command {
  enum Verb { kHelp, kAdd, kQuery, kDelete, kExport, kImport };
  Verb verb = kHelp;
  UString key;                 // below the root (add, query, delete, export)
  bool named = false;          // /v NAME or /ve given (query, delete)
  UString name;                // the value's name; empty: the key's default value
  bool default_value = false;  // /ve
  bool all_values = false;     // delete /va
  bool recurse = false;        // query /s
  bool force = false;          // /f, /y
  bool strict = false;         // import /strict
  RegValue value;              // add: the value to write
  UString file;                // export, import
};

struct ParseResult {
  enum Kind {
    kOk,
    kUsage,  // a syntax error; text: the command, for "Type ... /? for usage"
    kFail,   // refused; text: the reason, as "ERROR: " shows it
  };
  Kind kind = kOk;
  UString text;
};

// `args` without the program's own name.
ParseResult ParseCommand(const std::vector<UString>& args, Command* out);

}  // namespace regtool
