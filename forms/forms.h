// The windowing layer's components: the application object, forms and the
// three kinds of control the updater's window holds. A form is built from a
// stored description (forms/reader.h); each component wraps a native widget of
// the toolkit in use (platform/ui.h). Everything here lives on the window
// thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/exception.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace forms {

using platform::UString;
using platform::UStringView;

// A failure while reading a description.
class EReadError : public platform::Exception {
 public:
  using platform::Exception::Exception;
};

// A property value as a description states it.
struct PropValue {
  enum Kind { kInteger, kString, kIdent, kSet } kind = kInteger;
  int64_t integer = 0;
  UString text;              // kString, kIdent
  std::vector<UString> set;  // kSet
};

class TForm;
class TComponent;

using TNotifyEvent = std::function<void(TComponent* Sender)>;

class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // The class chain, most derived first, ending with "TComponent".
  virtual std::vector<UString> ClassChain() const = 0;
  UString ClassName() const { return ClassChain().front(); }

  UString Name;
  TComponent* Owner() const { return owner_; }
  // An owned component by name, without regard to case; null if none.
  TComponent* FindComponent(UStringView name) const;
  // Takes ownership.
  void InsertComponent(std::unique_ptr<TComponent> child);

  // Sets a property from a description; throws EReadError for a property
  // the component does not have or a value of the wrong form.
  virtual void SetProperty(UStringView name, const PropValue& value);

 protected:
  // The form that owns this component (itself for a form).
  TForm* RootForm();
  static int64_t Int(UStringView prop, const PropValue& v);
  static UString Text(UStringView prop, const PropValue& v);
  static UString Ident(UStringView prop, const PropValue& v);
  static bool Bool(UStringView prop, const PropValue& v);

 private:
  TComponent* owner_;
  std::vector<std::unique_ptr<TComponent>> components_;
};

// Makes a component of a class by name (the description's class names).
using ComponentFactory = std::function<std::unique_ptr<TComponent>(TComponent* owner)>;
void RegisterComponentClass(const UString& name, ComponentFactory factory);
std::unique_ptr<TComponent> CreateComponent(UStringView class_name, TComponent* owner);

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  std::vector<UString> ClassChain() const override;
  void SetProperty(UStringView name, const PropValue& value) override;

  int Left = 0, Top = 0, Width = 0, Height = 0, TabOrder = -1;

 protected:
  virtual platform::ui::NativeControl* NativeControl() = 0;
  void ApplyBounds();
};

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* owner);
  std::vector<UString> ClassChain() const override;
  void SetProperty(UStringView name, const PropValue& value) override;

  const UString& Caption() const { return caption_; }
  void SetCaption(UStringView caption);
  // Paints the label at once.
  void Repaint();
  bool AutoSize = true;

 protected:
  platform::ui::NativeControl* NativeControl() override { return native_.get(); }

 private:
  std::unique_ptr<platform::ui::NativeLabel> native_;
  UString caption_;
};

class TButton : public TControl {
 public:
  explicit TButton(TComponent* owner);
  std::vector<UString> ClassChain() const override;
  void SetProperty(UStringView name, const PropValue& value) override;

  const UString& Caption() const { return caption_; }
  void SetCaption(UStringView caption);
  TNotifyEvent OnClick;
  // What a click does (the toolkit calls it; tests may too).
  void Click();

 protected:
  platform::ui::NativeControl* NativeControl() override { return native_.get(); }

 private:
  std::unique_ptr<platform::ui::NativeButton> native_;
  UString caption_;
};

class TMemo : public TControl {
 public:
  explicit TMemo(TComponent* owner);
  std::vector<UString> ClassChain() const override;
  void SetProperty(UStringView name, const PropValue& value) override;

  // Appends a line; the number of lines is not limited.
  void AddLine(UStringView line);
  // The vertical scroll message with scroll code 7: to the bottom.
  void ScrollToBottom();
  UString Text();

 protected:
  platform::ui::NativeControl* NativeControl() override { return native_.get(); }

 private:
  std::unique_ptr<platform::ui::NativeMemo> native_;
};

class TApplication;

class TForm : public TComponent, public platform::ui::FormEvents {
 public:
  explicit TForm(TApplication* application);
  ~TForm() override;
  std::vector<UString> ClassChain() const override;
  void SetProperty(UStringView name, const PropValue& value) override;

  platform::ui::NativeForm* Native() { return native_.get(); }
  TApplication* Application() { return application_; }

  UString Caption();
  void SetCaption(UStringView caption);
  // The outer height, frame and caption bar included.
  void SetHeight(int height);
  int Height();
  // Closes the window if OnCloseQuery lets it.
  void Close();

  // The form's event handlers by name, for the description's On... properties.
  virtual TNotifyEvent FindMethod(UStringView name);
  virtual std::function<void(TComponent*, bool&)> FindCloseQueryMethod(UStringView name);

  TNotifyEvent OnActivate;
  std::function<void(TComponent* Sender, bool& CanClose)> OnCloseQuery;

  // platform::ui::FormEvents: failures of the handlers go to the default
  // error report.
  void Activated() override;
  bool CloseQuery() override;

 private:
  TApplication* application_;
  std::unique_ptr<platform::ui::NativeForm> native_;
  bool activated_ = false;
  int client_width_ = 0;
  int client_height_ = 0;
  platform::ui::FontSpec font_;
};

class TApplication {
 public:
  explicit TApplication(std::unique_ptr<platform::ui::Toolkit> toolkit);
  ~TApplication();

  // The program's application object, while it exists.
  static TApplication* Current();

  platform::ui::Toolkit& Toolkit() { return *toolkit_; }

  // Whether regional formats and interface metrics are re-read when the
  // system announces changed settings. Nothing in this program re-reads
  // them; start-up switches both off to say so.
  bool UpdateFormatSettings = true;
  bool UpdateMetricSettings = true;
  UString Title;

  void Initialize() {}
  // The first form added becomes the main form.
  void AddForm(std::unique_ptr<TForm> form);
  TForm* MainForm() const { return forms_.empty() ? nullptr : forms_.front().get(); }
  // The forms created and not yet destroyed, first to last.
  std::vector<TForm*> Forms() const;

  // Shows the main form centred and runs the message loop until it closes;
  // then hand-offs are refused from workers.
  void Run();

  // A modal box with the text, OK, no icon, the title as caption.
  void MessageBox(UStringView text);
  // The default error report: the text, with a full stop added when its last
  // character's code is above that of the full stop; error icon; OK.
  void ShowException(UStringView message);

 private:
  std::unique_ptr<platform::ui::Toolkit> toolkit_;
  std::vector<std::unique_ptr<TForm>> forms_;
};

// The default error report's text for a failure message.
UString ExceptionReportText(UStringView message);

}  // namespace forms
