// TReader: reads a stored window description (docs/window-description.md)
// into a form: it creates the controls the description names and sets the
// properties of the form and of each control.
//
//   forms::TReader reader(description_bytes, 4096);
//   reader.ReadRootComponent(form);   // throws EReadError on a bad description
//
// Each component record begins with a prefix, read by the virtual ReadPrefix:
// its keyword ("object", "inherited" or "inline") becomes the flags, and an
// optional "[N]" after it the child position. A record flagged inherited is
// not created: the component of that name that the form already has takes
// the record's properties.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "forms/forms.h"

namespace forms {

// Component record flags.
enum : uint32_t {
  ffInherited = 1,  // bit 0: the component exists already
  ffChildPos = 2,   // bit 1: a child position is stored
  ffInline = 4,     // bit 2
};

class TReader {
 public:
  // `data` is the description's bytes (UTF-8 text); `buffer_size` is the
  // size of the read buffer.
  TReader(std::string_view data, int buffer_size);
  virtual ~TReader();
  TReader(const TReader&) = delete;
  TReader& operator=(const TReader&) = delete;

  // Reads the root record into `root` and every child record into its
  // components. Throws EReadError naming the line where the description is
  // not as it should be.
  void ReadRootComponent(TComponent* root);

 protected:
  // Reads a record's prefix at the current position: its flags and, where
  // stored, its child position.
  virtual void ReadPrefix(uint32_t& Flags, int& AChildPos);

 private:
  struct Token {
    enum Kind { kEnd, kIdent, kInteger, kString, kSymbol } kind = kEnd;
    UString text;
    int64_t integer = 0;
    int line = 0;
  };

  void Tokenize();
  const Token& Peek() const;
  Token Next();
  [[noreturn]] void Fail(const UString& what) const;
  [[noreturn]] void FailAt(int line, const UString& what) const;
  UString ExpectIdent();
  void Expect(char16_t symbol);
  void ReadComponent(TComponent* root, TComponent* existing_root);
  PropValue ReadValue();

  std::string data_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
};

}  // namespace forms
