#include "forms/reader.h"

namespace forms {
namespace {

bool Is(UStringView a, UStringView b) { return platform::UpperCase(a) == platform::UpperCase(b); }

bool IdentStart(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}

bool IdentPart(char16_t c) { return IdentStart(c) || (c >= u'0' && c <= u'9') || c == u'.'; }

}  // namespace

TReader::TReader(std::string_view data, int buffer_size) : data_(data) {
  // The whole description is in memory; the buffer size is only a hint.
  data_.reserve(static_cast<size_t>(buffer_size > 0 ? buffer_size : 0));
  Tokenize();
}

TReader::~TReader() = default;

void TReader::Fail(const UString& what) const {
  const int line =
      pos_ < tokens_.size() ? tokens_[pos_].line : (tokens_.empty() ? 1 : tokens_.back().line);
  FailAt(line, what);
}

void TReader::FailAt(int line, const UString& what) const {
  throw EReadError(u"Error reading the window description, line " + platform::IntToText(line) +
                   u": " + what);
}

void TReader::Tokenize() {
  const UString text = platform::Utf8ToUtf16(data_);
  int line = 1;
  size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c == u'\n') {
      ++line;
      ++i;
    } else if (c <= u' ') {
      ++i;
    } else if (c == u'#') {
      while (i < text.size() && text[i] != u'\n') ++i;
    } else if (IdentStart(c)) {
      Token t{Token::kIdent, {}, 0, line};
      while (i < text.size() && IdentPart(text[i])) t.text.push_back(text[i++]);
      tokens_.push_back(std::move(t));
    } else if ((c >= u'0' && c <= u'9') || c == u'-') {
      Token t{Token::kInteger, {}, 0, line};
      bool neg = c == u'-';
      if (neg) ++i;
      if (i >= text.size() || text[i] < u'0' || text[i] > u'9') {
        pos_ = tokens_.size();
        tokens_.push_back(t);
        Fail(u"a number is expected after -");
      }
      while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        if (t.integer > 100000000) {
          pos_ = tokens_.size();
          tokens_.push_back(t);
          Fail(u"number too large");
        }
        t.integer = t.integer * 10 + (text[i++] - u'0');
      }
      if (neg) t.integer = -t.integer;
      tokens_.push_back(std::move(t));
    } else if (c == u'"') {
      Token t{Token::kString, {}, 0, line};
      ++i;
      bool closed = false;
      while (i < text.size()) {
        if (text[i] == u'\n') break;
        if (text[i] == u'\\' && i + 1 < text.size()) {
          const char16_t e = text[i + 1];
          t.text.push_back(e == u'n' ? u'\n' : e == u'r' ? u'\r' : e == u't' ? u'\t' : e);
          i += 2;
        } else if (text[i] == u'"') {
          closed = true;
          ++i;
          break;
        } else {
          t.text.push_back(text[i++]);
        }
      }
      if (!closed) {
        pos_ = tokens_.size();
        tokens_.push_back(t);
        Fail(u"unterminated string");
      }
      tokens_.push_back(std::move(t));
    } else {
      tokens_.push_back(Token{Token::kSymbol, UString(1, c), 0, line});
      ++i;
    }
  }
  pos_ = 0;
}

const TReader::Token& TReader::Peek() const {
  static const Token end;
  return pos_ < tokens_.size() ? tokens_[pos_] : end;
}

TReader::Token TReader::Next() {
  if (pos_ >= tokens_.size()) Fail(u"the description ends too early");
  return tokens_[pos_++];
}

UString TReader::ExpectIdent() {
  const Token t = Next();
  if (t.kind != Token::kIdent) {
    --pos_;
    Fail(u"a name is expected");
  }
  return t.text;
}

void TReader::Expect(char16_t symbol) {
  const Token t = Next();
  if (t.kind != Token::kSymbol || t.text[0] != symbol) {
    --pos_;
    Fail(UString(u"\"") + symbol + u"\" is expected");
  }
}

void TReader::ReadPrefix(uint32_t& Flags, int& AChildPos) {
  const UString keyword = ExpectIdent();
  if (Is(keyword, u"object")) {
    Flags = 0;
  } else if (Is(keyword, u"inherited")) {
    Flags = ffInherited;
  } else if (Is(keyword, u"inline")) {
    Flags = ffInline;
  } else {
    --pos_;
    Fail(u"object, inherited or inline is expected");
  }
  if (Peek().kind == Token::kSymbol && Peek().text == u"[") {
    Next();
    const Token n = Next();
    if (n.kind != Token::kInteger) Fail(u"a child position is expected");
    Expect(u']');
    Flags |= ffChildPos;
    AChildPos = static_cast<int>(n.integer);
  }
}

PropValue TReader::ReadValue() {
  PropValue v;
  const Token t = Next();
  switch (t.kind) {
    case Token::kInteger:
      v.kind = PropValue::kInteger;
      v.integer = t.integer;
      return v;
    case Token::kString:
      v.kind = PropValue::kString;
      v.text = t.text;
      return v;
    case Token::kIdent:
      v.kind = PropValue::kIdent;
      v.text = t.text;
      return v;
    default:
      if (t.text == u"[") {
        v.kind = PropValue::kSet;
        while (!(Peek().kind == Token::kSymbol && Peek().text == u"]")) {
          v.set.push_back(ExpectIdent());
          if (Peek().kind == Token::kSymbol && Peek().text == u",") Next();
        }
        Next();
        return v;
      }
      --pos_;
      Fail(u"a value is expected");
  }
}

void TReader::ReadComponent(TComponent* root, TComponent* existing_root) {
  const int record_line = Peek().kind == Token::kEnd ? 1 : Peek().line;
  uint32_t flags = 0;
  int child_pos = 0;
  ReadPrefix(flags, child_pos);
  const UString name = ExpectIdent();
  Expect(u':');
  const UString class_name = ExpectIdent();

  TComponent* component = nullptr;
  if (existing_root != nullptr) {
    component = existing_root;
    bool known = false;
    for (const UString& c : component->ClassChain()) known = known || Is(c, class_name);
    if (!known) {
      FailAt(record_line,
             u"the description of " + class_name + u" does not apply to " + component->ClassName());
    }
    component->Name = name;
  } else if (flags & ffInherited) {
    component = root->FindComponent(name);
    if (component == nullptr) FailAt(record_line, u"the window has no component named " + name);
    if (!Is(component->ClassName(), class_name)) {
      FailAt(record_line, name + u" is a " + component->ClassName() + u", not a " + class_name);
    }
  } else {
    if (root->FindComponent(name) != nullptr) {
      FailAt(record_line, u"a component named " + name + u" exists already");
    }
    try {
      std::unique_ptr<TComponent> made = CreateComponent(class_name, root);
      made->Name = name;
      component = made.get();
      root->InsertComponent(std::move(made));
    } catch (const EReadError& e) {
      FailAt(record_line, e.Message());
    }
  }

  for (;;) {
    const Token& t = Peek();
    if (t.kind == Token::kEnd) Fail(u"the description ends inside " + name);
    if (t.kind == Token::kIdent && Is(t.text, u"end")) {
      Next();
      return;
    }
    if (t.kind == Token::kIdent &&
        (Is(t.text, u"object") || Is(t.text, u"inherited") || Is(t.text, u"inline"))) {
      ReadComponent(root, nullptr);
      continue;
    }
    const UString prop = ExpectIdent();
    Expect(u'=');
    const PropValue value = ReadValue();
    try {
      component->SetProperty(prop, value);
    } catch (const EReadError& e) {
      --pos_;
      Fail(name + u"." + prop + u": " + e.Message());
    }
  }
}

void TReader::ReadRootComponent(TComponent* root) {
  pos_ = 0;
  ReadComponent(root, root);
  if (Peek().kind != Token::kEnd) Fail(u"text after the end of the description");
}

}  // namespace forms
