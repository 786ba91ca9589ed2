// The window on Windows: a Win32 tool window, topmost, not resizable, with
// no task-bar entry, and standard STATIC, BUTTON and EDIT controls placed by
// pixel.
#include "platform/win32/scoped_handle.h"
#undef MessageBox  // Toolkit::MessageBox is not the macro

#include <memory>
#include <string>
#include <vector>

#include "platform/handoff.h"
#include "platform/ui.h"

namespace platform::ui {
namespace {

constexpr UINT kRunHandOffs = WM_APP + 1;
constexpr wchar_t kClassName[] = L"VorloUpdaterWindow";
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;

std::wstring W(UStringView s) { return std::wstring(s.begin(), s.end()); }

class Win32Form;

class Win32Control {
 public:
  Win32Control(Win32Form* form, const wchar_t* cls, DWORD style, DWORD ex_style);
  virtual ~Win32Control() = default;
  HWND hwnd() const { return hwnd_; }
  virtual void Command(WORD) {}

 protected:
  void Place(int l, int t, int w, int h) { MoveWindow(hwnd_, l, t, w, h, TRUE); }
  Win32Form* form_;
  HWND hwnd_;
};

class Win32Form : public NativeForm {
 public:
  explicit Win32Form(FormEvents* events) : events_(events) {
    hwnd_ = CreateWindowExW(kExStyle, kClassName, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 200,
                            100, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  }
  ~Win32Form() override {
    if (hwnd_ != nullptr) {
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      DestroyWindow(hwnd_);
    }
  }

  void SetCaption(UStringView caption) override { SetWindowTextW(hwnd_, W(caption).c_str()); }
  UString Caption() override {
    std::wstring buf(static_cast<size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    const int n = GetWindowTextW(hwnd_, buf.data(), static_cast<int>(buf.size()));
    return UString(buf.begin(), buf.begin() + n);
  }
  void SetClientSize(int width, int height) override {
    client_w_ = width;
    client_h_ = height;
    RECT rc = {0, 0, width, height};
    AdjustWindowRectEx(&rc, kStyle, FALSE, kExStyle);
    SetWindowPos(hwnd_, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void SetOuterHeight(int height) override {
    RECT rc;
    GetWindowRect(hwnd_, &rc);
    SetWindowPos(hwnd_, nullptr, 0, 0, rc.right - rc.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  int OuterHeight() override {
    RECT rc;
    GetWindowRect(hwnd_, &rc);
    return rc.bottom - rc.top;
  }
  int ClientHeight() override {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    return rc.bottom;
  }
  void SetToolWindow(bool) override {}  // the class's style: a tool window
  void SetStayOnTop(bool on_top) override {
    SetWindowPos(hwnd_, on_top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  void SetFont(const FontSpec& f) override {
    font_.reset(CreateFontW(f.height, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, f.italic, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, W(f.name).c_str()));
    for (Win32Control* c : controls_) {
      SendMessageW(c->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }
  }
  std::unique_ptr<NativeLabel> CreateLabel() override;
  std::unique_ptr<NativeButton> CreateButton() override;
  std::unique_ptr<NativeMemo> CreateMemo() override;
  void ShowCentered() override {
    RECT rc;
    GetWindowRect(hwnd_, &rc);
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    SetWindowPos(hwnd_, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
  }
  void Close() override {
    if (hwnd_ != nullptr) SendMessageW(hwnd_, WM_CLOSE, 0, 0);
  }
  void SetLogoutInhibited(bool) override {}  // WM_QUERYENDSESSION asks CloseQuery
  void* Handle() override { return hwnd_; }

  HWND hwnd() const { return hwnd_; }
  HGDIOBJ font() const { return font_.get(); }
  int Register(Win32Control* c) {
    controls_.push_back(c);
    if (font_.get() != nullptr) {
      SendMessageW(c->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }
    return static_cast<int>(controls_.size()) + 100;
  }
  void Unregister(Win32Control* c) {
    for (auto& p : controls_) {
      if (p == c) p = nullptr;
    }
  }

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
      case kRunHandOffs: HandOff::Instance().RunPending(); return 0;
      case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE) {
          for (Win32Control* c : self->controls_) {
            if (c != nullptr && (GetWindowLongW(c->hwnd(), GWL_STYLE) & WS_TABSTOP)) {
              SetFocus(c->hwnd());
              break;
            }
          }
          self->events_->Activated();
        }
        return 0;
      case WM_CLOSE:
        if (self->events_->CloseQuery()) DestroyWindow(hwnd);
        return 0;
      case WM_QUERYENDSESSION:
        // Log-off and shut-down get the same answer as any other close.
        return self->events_->CloseQuery() ? TRUE : FALSE;
      case WM_DESTROY:
        self->hwnd_ = nullptr;
        PostQuitMessage(0);
        return 0;
      case WM_COMMAND: {
        const int id = LOWORD(wp) - 101;
        if (id >= 0 && id < static_cast<int>(self->controls_.size()) &&
            self->controls_[static_cast<size_t>(id)] != nullptr) {
          self->controls_[static_cast<size_t>(id)]->Command(HIWORD(wp));
        }
        return 0;
      }
      default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
  }

 private:
  FormEvents* events_;
  HWND hwnd_;
  ScopedGdiObject font_;
  std::vector<Win32Control*> controls_;
  int client_w_ = 0;
  int client_h_ = 0;
};

Win32Control::Win32Control(Win32Form* form, const wchar_t* cls, DWORD style, DWORD ex_style)
    : form_(form) {
  hwnd_ = CreateWindowExW(ex_style, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                          form->hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
  const int id = form->Register(this);
  SetWindowLongPtrW(hwnd_, GWLP_ID, id);
}

class Label : public NativeLabel, public Win32Control {
 public:
  explicit Label(Win32Form* f) : Win32Control(f, L"STATIC", SS_LEFT | SS_NOPREFIX, 0) {}
  ~Label() override { form_->Unregister(this); }
  void SetBounds(int l, int t, int w, int h) override { Place(l, t, w, h); }
  void SetTabOrder(int) override {}
  void SetText(UStringView text) override { SetWindowTextW(hwnd_, W(text).c_str()); }
  int TextWidth(UStringView text) override {
    HDC dc = GetDC(hwnd_);
    if (dc == nullptr) return 0;
    HGDIOBJ old = form_->font() != nullptr ? SelectObject(dc, form_->font()) : nullptr;
    SIZE size = {0, 0};
    const std::wstring w = W(text);
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    if (old != nullptr) SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return size.cx;
  }
  void RepaintNow() override {
    InvalidateRect(hwnd_, nullptr, TRUE);
    UpdateWindow(hwnd_);
  }
};

class Button : public NativeButton, public Win32Control {
 public:
  explicit Button(Win32Form* f) : Win32Control(f, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0) {}
  ~Button() override { form_->Unregister(this); }
  void SetBounds(int l, int t, int w, int h) override { Place(l, t, w, h); }
  void SetTabOrder(int order) override {
    if (order == 0) SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  void SetText(UStringView text) override { SetWindowTextW(hwnd_, W(text).c_str()); }
  void SetOnClick(std::function<void()> handler) override { on_click_ = std::move(handler); }
  void Command(WORD code) override {
    if (code == BN_CLICKED && on_click_) on_click_();
  }

 private:
  std::function<void()> on_click_;
};

class Memo : public NativeMemo, public Win32Control {
 public:
  explicit Memo(Win32Form* f)
      : Win32Control(f, L"EDIT",
                     ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN | WS_TABSTOP |
                         WS_VSCROLL | WS_HSCROLL,
                     WS_EX_CLIENTEDGE) {
    // The default limit of 32,767 characters would cut a long log short.
    SendMessageW(hwnd_, EM_SETLIMITTEXT, 0, 0);
  }
  ~Memo() override { form_->Unregister(this); }
  void SetBounds(int l, int t, int w, int h) override { Place(l, t, w, h); }
  void SetTabOrder(int) override {}
  void SetScrollBars(bool horizontal, bool vertical) override {
    ShowScrollBar(hwnd_, SB_HORZ, horizontal);
    ShowScrollBar(hwnd_, SB_VERT, vertical);
  }
  void SetReadOnly(bool read_only) override { SendMessageW(hwnd_, EM_SETREADONLY, read_only, 0); }
  void AppendLine(UStringView line) override {
    const std::wstring text = (lines_++ > 0 ? L"\r\n" : L"") + W(line);
    const int len = GetWindowTextLengthW(hwnd_);
    SendMessageW(hwnd_, EM_SETSEL, len, len);
    SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  }
  void ScrollToBottom() override { SendMessageW(hwnd_, WM_VSCROLL, SB_BOTTOM, 0); }
  UString Text() override {
    std::wstring buf(static_cast<size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    const int n = GetWindowTextW(hwnd_, buf.data(), static_cast<int>(buf.size()));
    UString out;
    for (int i = 0; i < n; ++i) {
      if (buf[static_cast<size_t>(i)] != L'\r')
        out.push_back(static_cast<char16_t>(buf[static_cast<size_t>(i)]));
    }
    return out;
  }

 private:
  size_t lines_ = 0;
};

std::unique_ptr<NativeLabel> Win32Form::CreateLabel() { return std::make_unique<Label>(this); }
std::unique_ptr<NativeButton> Win32Form::CreateButton() { return std::make_unique<Button>(this); }
std::unique_ptr<NativeMemo> Win32Form::CreateMemo() { return std::make_unique<Memo>(this); }

class Win32Toolkit : public Toolkit {
 public:
  Win32Toolkit() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Win32Form::WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
  }
  ~Win32Toolkit() override { HandOff::Instance().SetWaker(nullptr); }

  const char* Name() const override { return "win32"; }

  std::unique_ptr<NativeForm> CreateForm(FormEvents* events) override {
    auto form = std::make_unique<Win32Form>(events);
    if (main_ == nullptr) {
      main_ = form.get();
      HWND hwnd = form->hwnd();
      // A message to the window: every message loop dispatches it, the
      // modal loop of a message box included.
      HandOff::Instance().SetWaker([hwnd] { PostMessageW(hwnd, kRunHandOffs, 0, 0); });
    }
    return form;
  }

  void Run() override {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (main_ != nullptr && main_->hwnd() != nullptr && IsDialogMessageW(main_->hwnd(), &msg)) {
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  void MessageBox(UStringView caption, UStringView text) override { Box(caption, text, MB_OK); }
  void ErrorBox(UStringView caption, UStringView text) override {
    Box(caption, text, MB_OK | MB_ICONERROR);
  }

 private:
  void Box(UStringView caption, UStringView text, UINT flags) {
    HWND owner = main_ != nullptr ? main_->hwnd() : nullptr;
    ::MessageBoxW(owner, W(text).c_str(), W(caption).c_str(), flags | MB_TOPMOST);
  }

  Win32Form* main_ = nullptr;
};

}  // namespace

std::unique_ptr<Toolkit> Toolkit::Open(int*, char***) { return std::make_unique<Win32Toolkit>(); }

}  // namespace platform::ui
