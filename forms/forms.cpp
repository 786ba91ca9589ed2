#include "forms/forms.h"

#include <map>

#include "platform/handoff.h"

namespace forms {
namespace {

std::map<UString, ComponentFactory>& Registry() {
  static std::map<UString, ComponentFactory> registry;
  return registry;
}

[[noreturn]] void NoProperty(UStringView cls, UStringView prop) {
  throw EReadError(u"Property " + UString(prop) + u" does not exist in " + UString(cls));
}

[[noreturn]] void BadValue(UStringView prop) {
  throw EReadError(u"Invalid property value for " + UString(prop));
}

bool Is(UStringView a, UStringView b) { return platform::UpperCase(a) == platform::UpperCase(b); }

struct Registrar {
  Registrar() {
    RegisterComponentClass(u"TLabel", [](TComponent* o) { return std::make_unique<TLabel>(o); });
    RegisterComponentClass(u"TButton", [](TComponent* o) { return std::make_unique<TButton>(o); });
    RegisterComponentClass(u"TMemo", [](TComponent* o) { return std::make_unique<TMemo>(o); });
  }
};

}  // namespace

// ---- TComponent

TComponent::TComponent(TComponent* owner) : owner_(owner) {}
TComponent::~TComponent() = default;

TComponent* TComponent::FindComponent(UStringView name) const {
  for (const auto& c : components_) {
    if (Is(c->Name, name)) return c.get();
  }
  return nullptr;
}

void TComponent::InsertComponent(std::unique_ptr<TComponent> child) {
  components_.push_back(std::move(child));
}

void TComponent::SetProperty(UStringView name, const PropValue&) { NoProperty(ClassName(), name); }

TForm* TComponent::RootForm() {
  TComponent* c = this;
  while (c->owner_ != nullptr) c = c->owner_;
  return dynamic_cast<TForm*>(c);
}

int64_t TComponent::Int(UStringView prop, const PropValue& v) {
  if (v.kind != PropValue::kInteger) BadValue(prop);
  return v.integer;
}

UString TComponent::Text(UStringView prop, const PropValue& v) {
  if (v.kind != PropValue::kString) BadValue(prop);
  return v.text;
}

UString TComponent::Ident(UStringView prop, const PropValue& v) {
  if (v.kind != PropValue::kIdent) BadValue(prop);
  return v.text;
}

bool TComponent::Bool(UStringView prop, const PropValue& v) {
  const UString id = Ident(prop, v);
  if (Is(id, u"True")) return true;
  if (Is(id, u"False")) return false;
  BadValue(prop);
}

void RegisterComponentClass(const UString& name, ComponentFactory factory) {
  Registry()[platform::UpperCase(name)] = std::move(factory);
}

std::unique_ptr<TComponent> CreateComponent(UStringView class_name, TComponent* owner) {
  static Registrar registrar;
  auto it = Registry().find(platform::UpperCase(class_name));
  if (it == Registry().end()) throw EReadError(u"Class " + UString(class_name) + u" not found");
  return it->second(owner);
}

// ---- TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {}

std::vector<UString> TControl::ClassChain() const { return {u"TControl", u"TComponent"}; }

void TControl::SetProperty(UStringView name, const PropValue& v) {
  if (Is(name, u"Left")) {
    Left = static_cast<int>(Int(name, v));
  } else if (Is(name, u"Top")) {
    Top = static_cast<int>(Int(name, v));
  } else if (Is(name, u"Width")) {
    Width = static_cast<int>(Int(name, v));
  } else if (Is(name, u"Height")) {
    Height = static_cast<int>(Int(name, v));
  } else if (Is(name, u"TabOrder")) {
    TabOrder = static_cast<int>(Int(name, v));
    NativeControl()->SetTabOrder(TabOrder);
    return;
  } else {
    TComponent::SetProperty(name, v);
  }
  ApplyBounds();
}

void TControl::ApplyBounds() { NativeControl()->SetBounds(Left, Top, Width, Height); }

// ---- TLabel

TLabel::TLabel(TComponent* owner) : TControl(owner), native_(RootForm()->Native()->CreateLabel()) {}

std::vector<UString> TLabel::ClassChain() const { return {u"TLabel", u"TControl", u"TComponent"}; }

void TLabel::SetProperty(UStringView name, const PropValue& v) {
  if (Is(name, u"Caption")) {
    SetCaption(Text(name, v));
  } else if (Is(name, u"AutoSize")) {
    AutoSize = Bool(name, v);
  } else if (Is(name, u"WordWrap")) {
    if (Bool(name, v)) BadValue(name);  // the status line is one line
  } else {
    TControl::SetProperty(name, v);
  }
}

void TLabel::SetCaption(UStringView caption) {
  caption_ = UString(caption);
  native_->SetText(caption_);
  if (AutoSize) {
    // The width follows the text; what goes beyond the window is cut off.
    Width = native_->TextWidth(caption_);
    ApplyBounds();
  }
}

void TLabel::Repaint() { native_->RepaintNow(); }

// ---- TButton

TButton::TButton(TComponent* owner)
    : TControl(owner), native_(RootForm()->Native()->CreateButton()) {
  native_->SetOnClick([this] { Click(); });
}

std::vector<UString> TButton::ClassChain() const {
  return {u"TButton", u"TControl", u"TComponent"};
}

void TButton::SetProperty(UStringView name, const PropValue& v) {
  if (Is(name, u"Caption")) {
    SetCaption(Text(name, v));
  } else if (Is(name, u"OnClick")) {
    const UString method = Ident(name, v);
    OnClick = RootForm()->FindMethod(method);
    if (!OnClick) throw EReadError(u"Method " + method + u" not found");
  } else {
    TControl::SetProperty(name, v);
  }
}

void TButton::SetCaption(UStringView caption) {
  caption_ = UString(caption);
  native_->SetText(caption_);
}

void TButton::Click() {
  if (!OnClick) return;
  try {
    OnClick(this);
  } catch (const std::exception& e) {
    RootForm()->Application()->ShowException(platform::MessageOf(e));
  }
}

// ---- TMemo

TMemo::TMemo(TComponent* owner) : TControl(owner), native_(RootForm()->Native()->CreateMemo()) {}

std::vector<UString> TMemo::ClassChain() const { return {u"TMemo", u"TControl", u"TComponent"}; }

void TMemo::SetProperty(UStringView name, const PropValue& v) {
  if (Is(name, u"ScrollBars")) {
    const UString s = Ident(name, v);
    if (Is(s, u"None")) {
      native_->SetScrollBars(false, false);
    } else if (Is(s, u"Horizontal")) {
      native_->SetScrollBars(true, false);
    } else if (Is(s, u"Vertical")) {
      native_->SetScrollBars(false, true);
    } else if (Is(s, u"Both")) {
      native_->SetScrollBars(true, true);
    } else {
      BadValue(name);
    }
  } else if (Is(name, u"ReadOnly")) {
    native_->SetReadOnly(Bool(name, v));
  } else {
    TControl::SetProperty(name, v);
  }
}

void TMemo::AddLine(UStringView line) { native_->AppendLine(line); }
void TMemo::ScrollToBottom() { native_->ScrollToBottom(); }
UString TMemo::Text() { return native_->Text(); }

// ---- TForm

TForm::TForm(TApplication* application)
    : TComponent(nullptr),
      application_(application),
      native_(application->Toolkit().CreateForm(this)) {}

TForm::~TForm() = default;

std::vector<UString> TForm::ClassChain() const { return {u"TForm", u"TComponent"}; }

void TForm::SetProperty(UStringView name, const PropValue& v) {
  auto* n = native_.get();
  if (Is(name, u"Caption")) {
    SetCaption(Text(name, v));
  } else if (Is(name, u"ClientWidth")) {
    client_width_ = static_cast<int>(Int(name, v));
    n->SetClientSize(client_width_, client_height_);
  } else if (Is(name, u"ClientHeight")) {
    client_height_ = static_cast<int>(Int(name, v));
    n->SetClientSize(client_width_, client_height_);
  } else if (Is(name, u"BorderStyle")) {
    const UString s = Ident(name, v);
    if (!Is(s, u"ToolWindow") && !Is(s, u"Dialog")) BadValue(name);
    n->SetToolWindow(Is(s, u"ToolWindow"));
  } else if (Is(name, u"FormStyle")) {
    const UString s = Ident(name, v);
    if (!Is(s, u"StayOnTop") && !Is(s, u"Normal")) BadValue(name);
    n->SetStayOnTop(Is(s, u"StayOnTop"));
  } else if (Is(name, u"Font.Name")) {
    font_.name = Text(name, v);
    n->SetFont(font_);
  } else if (Is(name, u"Font.Height")) {
    font_.height = static_cast<int>(Int(name, v));
    n->SetFont(font_);
  } else if (Is(name, u"Font.Style")) {
    if (v.kind != PropValue::kSet) BadValue(name);
    font_.bold = font_.italic = false;
    for (const UString& s : v.set) {
      if (Is(s, u"Bold")) {
        font_.bold = true;
      } else if (Is(s, u"Italic")) {
        font_.italic = true;
      } else {
        BadValue(name);
      }
    }
    n->SetFont(font_);
  } else if (Is(name, u"OnActivate")) {
    OnActivate = FindMethod(Ident(name, v));
    if (!OnActivate) throw EReadError(u"Method " + v.text + u" not found");
  } else if (Is(name, u"OnCloseQuery")) {
    OnCloseQuery = FindCloseQueryMethod(Ident(name, v));
    if (!OnCloseQuery) throw EReadError(u"Method " + v.text + u" not found");
  } else if (Is(name, u"Color") || Is(name, u"Font.Color") || Is(name, u"Font.Charset") ||
             Is(name, u"Position") || Is(name, u"PixelsPerInch") || Is(name, u"TextHeight")) {
    // The system's button-face colour, window-text colour and default
    // character set, centring on the screen and the 96 dpi design: what
    // every toolkit here does anyway.
  } else {
    TComponent::SetProperty(name, v);
  }
}

UString TForm::Caption() { return native_->Caption(); }
void TForm::SetCaption(UStringView caption) { native_->SetCaption(caption); }
void TForm::SetHeight(int height) { native_->SetOuterHeight(height); }
int TForm::Height() { return native_->OuterHeight(); }
void TForm::Close() { native_->Close(); }

TNotifyEvent TForm::FindMethod(UStringView) { return nullptr; }

std::function<void(TComponent*, bool&)> TForm::FindCloseQueryMethod(UStringView) { return nullptr; }

void TForm::Activated() {
  // Message boxes of the program and other programs taking the focus do not
  // count: the form is activated once.
  if (activated_) return;
  activated_ = true;
  if (!OnActivate) return;
  try {
    OnActivate(this);
  } catch (const std::exception& e) {
    application_->ShowException(platform::MessageOf(e));
  }
}

bool TForm::CloseQuery() {
  bool can_close = true;
  if (OnCloseQuery) {
    try {
      OnCloseQuery(this, can_close);
    } catch (const std::exception& e) {
      application_->ShowException(platform::MessageOf(e));
      return false;
    }
  }
  return can_close;
}

// ---- TApplication

namespace {
TApplication* g_application = nullptr;
}  // namespace

TApplication::TApplication(std::unique_ptr<platform::ui::Toolkit> toolkit)
    : toolkit_(std::move(toolkit)) {
  g_application = this;
}

TApplication::~TApplication() {
  forms_.clear();
  if (g_application == this) g_application = nullptr;
}

TApplication* TApplication::Current() { return g_application; }

void TApplication::AddForm(std::unique_ptr<TForm> form) { forms_.push_back(std::move(form)); }

std::vector<TForm*> TApplication::Forms() const {
  std::vector<TForm*> out;
  for (const auto& f : forms_) out.push_back(f.get());
  return out;
}

void TApplication::Run() {
  platform::HandOff::Instance().Reset();
  if (MainForm() != nullptr) {
    MainForm()->Native()->ShowCentered();
    toolkit_->Run();
  }
  // The loop has ended: a worker that still reports is told so at once.
  platform::HandOff::Instance().Abandon();
}

void TApplication::MessageBox(UStringView text) { toolkit_->MessageBox(Title, text); }

UString ExceptionReportText(UStringView message) {
  UString text(message);
  if (!text.empty() && text.back() > u'.') text += u'.';
  return text;
}

void TApplication::ShowException(UStringView message) {
  toolkit_->ErrorBox(Title, ExceptionReportText(message));
}

}  // namespace forms
