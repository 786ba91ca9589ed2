// The window on Linux: GTK 3. A utility window kept above the others, not
// resizable, skipped by the task bar, its controls placed by pixel on a
// GtkLayout, so that the log view can lie below the visible client area.
#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/console/ui_console.h"
#include "platform/gtk/g_object_ptr.h"
#include "platform/handoff.h"
#include "platform/ui.h"

namespace platform::ui {
namespace {

std::string U8(UStringView s) { return Utf16ToUtf8(s); }

class GtkForm;

class GtkControlBase {
 protected:
  GtkControlBase(GtkForm* form, GtkWidget* widget);
  void Place(int left, int top, int width, int height);
  GtkForm* form_;
  GtkWidget* widget_;
};

class GtkForm : public NativeForm {
 public:
  GtkForm(FormEvents* events, GtkApplication* app) : events_(events), app_(app) {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    layout_ = gtk_layout_new(nullptr, nullptr);
    gtk_container_add(GTK_CONTAINER(window_), layout_);
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);
    g_signal_connect(window_, "notify::is-active", G_CALLBACK(OnActive), this);
    g_signal_connect(window_, "realize", G_CALLBACK(OnRealize), this);
    css_.reset(gtk_css_provider_new());
    gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window_),
                                              GTK_STYLE_PROVIDER(css_.get()),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  }
  ~GtkForm() override {
    SetLogoutInhibited(false);
    if (window_ != nullptr) {
      g_signal_handlers_disconnect_by_data(window_, this);
      gtk_widget_destroy(window_);
    }
  }

  void SetCaption(UStringView caption) override {
    gtk_window_set_title(GTK_WINDOW(window_), U8(caption).c_str());
  }
  UString Caption() override {
    const char* t = gtk_window_get_title(GTK_WINDOW(window_));
    return Utf8ToUtf16(t != nullptr ? t : "");
  }
  void SetClientSize(int width, int height) override {
    client_w_ = width;
    client_h_ = height;
    gtk_widget_set_size_request(layout_, width, height);
  }
  void SetOuterHeight(int height) override {
    // The frame and caption bar are the window manager's: measure them.
    int deco = 0;
    GdkWindow* gw = gtk_widget_get_window(window_);
    if (gw != nullptr) {
      GdkRectangle frame;
      gdk_window_get_frame_extents(gw, &frame);
      deco = frame.height - gdk_window_get_height(gw);
      if (deco < 0) deco = 0;
    }
    SetClientSize(client_w_, height - deco);
  }
  int OuterHeight() override {
    GdkWindow* gw = gtk_widget_get_window(window_);
    if (gw == nullptr) return client_h_;
    GdkRectangle frame;
    gdk_window_get_frame_extents(gw, &frame);
    return frame.height;
  }
  int ClientHeight() override { return client_h_; }
  void SetToolWindow(bool tool) override {
    gtk_window_set_type_hint(GTK_WINDOW(window_),
                             tool ? GDK_WINDOW_TYPE_HINT_UTILITY : GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window_), tool);
    gtk_window_set_skip_pager_hint(GTK_WINDOW(window_), tool);
  }
  void SetStayOnTop(bool on_top) override {
    gtk_window_set_keep_above(GTK_WINDOW(window_), on_top);
  }
  void SetFont(const FontSpec& font) override {
    const int px = font.height < 0 ? -font.height : font.height;
    const std::string css = "window, window * { font-family: \"" + U8(font.name) +
                            "\", sans-serif; font-size: " + std::to_string(px) + "px; " +
                            (font.bold ? "font-weight: bold; " : "") +
                            (font.italic ? "font-style: italic; " : "") +
                            "} window button { padding: 0 4px; min-height: 0; }";
    gtk_css_provider_load_from_data(css_.get(), css.c_str(), -1, nullptr);
  }
  std::unique_ptr<NativeLabel> CreateLabel() override;
  std::unique_ptr<NativeButton> CreateButton() override;
  std::unique_ptr<NativeMemo> CreateMemo() override;
  void ShowCentered() override {
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    gtk_widget_show_all(window_);
    gtk_window_present(GTK_WINDOW(window_));
  }
  void Close() override {
    if (window_ != nullptr && events_->CloseQuery()) gtk_widget_destroy(window_);
  }
  void SetLogoutInhibited(bool inhibited) override {
    if (app_ == nullptr || !g_application_get_is_registered(G_APPLICATION(app_))) return;
    if (inhibited && cookie_ == 0) {
      cookie_ = gtk_application_inhibit(app_, GTK_WINDOW(window_), GTK_APPLICATION_INHIBIT_LOGOUT,
                                        "The update is in progress");
    } else if (!inhibited && cookie_ != 0) {
      gtk_application_uninhibit(app_, cookie_);
      cookie_ = 0;
    }
  }
  void* Handle() override { return window_; }

  GtkWidget* layout() { return layout_; }
  GtkWidget* window() { return window_; }

 private:
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    // TRUE keeps the window: closing is refused.
    return static_cast<GtkForm*>(self)->events_->CloseQuery() ? FALSE : TRUE;
  }
  static void OnDestroy(GtkWidget*, gpointer self) {
    static_cast<GtkForm*>(self)->window_ = nullptr;
    gtk_main_quit();
  }
  static void OnRealize(GtkWidget* w, gpointer) {
    // A tool window's frame: a caption bar with a close box only.
    GdkWindow* gw = gtk_widget_get_window(w);
    gdk_window_set_functions(gw, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_CLOSE));
    gdk_window_set_decorations(gw,
                               static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE));
  }
  static void OnActive(GObject* w, GParamSpec*, gpointer self) {
    if (gtk_window_is_active(GTK_WINDOW(w))) static_cast<GtkForm*>(self)->events_->Activated();
  }

  FormEvents* events_;
  GtkApplication* app_;
  GtkWidget* window_;
  GtkWidget* layout_;
  GObjectPtr<GtkCssProvider> css_;
  guint cookie_ = 0;
  int client_w_ = 0;
  int client_h_ = 0;
};

GtkControlBase::GtkControlBase(GtkForm* form, GtkWidget* widget) : form_(form), widget_(widget) {
  gtk_layout_put(GTK_LAYOUT(form->layout()), widget, 0, 0);
}

void GtkControlBase::Place(int left, int top, int width, int height) {
  gtk_layout_move(GTK_LAYOUT(form_->layout()), widget_, left, top);
  gtk_widget_set_size_request(widget_, width, height);
}

class Label : public NativeLabel, GtkControlBase {
 public:
  explicit Label(GtkForm* form) : GtkControlBase(form, gtk_label_new("")) {
    gtk_label_set_xalign(GTK_LABEL(widget_), 0);
    gtk_label_set_yalign(GTK_LABEL(widget_), 0);
    gtk_label_set_single_line_mode(GTK_LABEL(widget_), TRUE);
  }
  void SetBounds(int l, int t, int w, int h) override { Place(l, t, w, h); }
  void SetTabOrder(int) override {}
  void SetText(UStringView text) override {
    gtk_label_set_text(GTK_LABEL(widget_), U8(text).c_str());
  }
  int TextWidth(UStringView text) override {
    GObjectPtr<PangoLayout> layout(gtk_widget_create_pango_layout(widget_, U8(text).c_str()));
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout.get(), &w, &h);
    return w;
  }
  void RepaintNow() override {
    gtk_widget_queue_draw(widget_);
    GdkWindow* gw = gtk_widget_get_window(widget_);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (gw != nullptr) gdk_window_process_updates(gw, TRUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
  }
};

class Button : public NativeButton, GtkControlBase {
 public:
  explicit Button(GtkForm* form) : GtkControlBase(form, gtk_button_new_with_label("")) {
    g_signal_connect(widget_, "clicked", G_CALLBACK(OnClicked), this);
  }
  void SetBounds(int l, int t, int w, int h) override { Place(l, t, w, h); }
  void SetTabOrder(int order) override {
    // First in tab order: the button has the focus when the window is shown.
    if (order == 0) {
      gtk_widget_set_can_focus(widget_, TRUE);
      gtk_window_set_focus(GTK_WINDOW(form_->window()), widget_);
    }
  }
  void SetText(UStringView text) override {
    gtk_button_set_label(GTK_BUTTON(widget_), U8(text).c_str());
  }
  void SetOnClick(std::function<void()> handler) override { on_click_ = std::move(handler); }

 private:
  static void OnClicked(GtkButton*, gpointer self) {
    auto* b = static_cast<Button*>(self);
    if (b->on_click_) b->on_click_();
  }
  std::function<void()> on_click_;
};

class Memo : public NativeMemo, GtkControlBase {
 public:
  explicit Memo(GtkForm* form)
      : GtkControlBase(form, gtk_scrolled_window_new(nullptr, nullptr)),
        view_(gtk_text_view_new()) {
    gtk_container_add(GTK_CONTAINER(widget_), view_);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(widget_), GTK_SHADOW_IN);
    GtkTextBuffer* buf = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view_));
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(buf, &end);
    end_mark_ = gtk_text_buffer_create_mark(buf, nullptr, &end, FALSE);
  }
  void SetBounds(int l, int t, int w, int h) override { Place(l, t, w, h); }
  void SetTabOrder(int) override {}
  void SetScrollBars(bool horizontal, bool vertical) override {
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(widget_),
                                   horizontal ? GTK_POLICY_ALWAYS : GTK_POLICY_NEVER,
                                   vertical ? GTK_POLICY_ALWAYS : GTK_POLICY_NEVER);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view_), horizontal ? GTK_WRAP_NONE : GTK_WRAP_CHAR);
  }
  void SetReadOnly(bool read_only) override {
    gtk_text_view_set_editable(GTK_TEXT_VIEW(view_), !read_only);
  }
  void AppendLine(UStringView line) override {
    GtkTextBuffer* buf = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view_));
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(buf, &end);
    const std::string text = (lines_++ > 0 ? "\n" : "") + U8(line);
    gtk_text_buffer_insert(buf, &end, text.data(), static_cast<int>(text.size()));
  }
  void ScrollToBottom() override {
    GtkTextBuffer* buf = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view_));
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(buf, &end);
    // The start of the last line: down to the bottom, but not to the right.
    gtk_text_iter_set_line_offset(&end, 0);
    gtk_text_buffer_move_mark(buf, end_mark_, &end);
    gtk_text_view_scroll_mark_onscreen(GTK_TEXT_VIEW(view_), end_mark_);
  }
  UString Text() override {
    GtkTextBuffer* buf = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view_));
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buf, &start, &end);
    char* text = gtk_text_buffer_get_text(buf, &start, &end, FALSE);
    UString out = Utf8ToUtf16(text != nullptr ? text : "");
    g_free(text);
    return out;
  }

 private:
  GtkWidget* view_;
  GtkTextMark* end_mark_;
  size_t lines_ = 0;
};

std::unique_ptr<NativeLabel> GtkForm::CreateLabel() { return std::make_unique<Label>(this); }
std::unique_ptr<NativeButton> GtkForm::CreateButton() { return std::make_unique<Button>(this); }
std::unique_ptr<NativeMemo> GtkForm::CreateMemo() { return std::make_unique<Memo>(this); }

class GtkToolkit : public Toolkit {
 public:
  GtkToolkit() {
    // The application object is only there to ask the session not to log
    // out while closing is refused; without a session bus it stays
    // unregistered and the window works all the same.
    app_.reset(gtk_application_new("org.vorlo.Updater", G_APPLICATION_NON_UNIQUE));
    g_application_register(G_APPLICATION(app_.get()), nullptr, nullptr);
    HandOff::Instance().SetWaker([] { g_idle_add(RunHandOffs, nullptr); });
  }
  ~GtkToolkit() override { HandOff::Instance().SetWaker(nullptr); }

  const char* Name() const override { return "gtk"; }

  std::unique_ptr<NativeForm> CreateForm(FormEvents* events) override {
    auto form = std::make_unique<GtkForm>(events, app_.get());
    if (main_ == nullptr) main_ = form.get();
    return form;
  }

  void Run() override {
    if (main_ != nullptr && main_->window() != nullptr) gtk_main();
  }

  void MessageBox(UStringView caption, UStringView text) override {
    Box(caption, text, GTK_MESSAGE_OTHER);
  }
  void ErrorBox(UStringView caption, UStringView text) override {
    Box(caption, text, GTK_MESSAGE_ERROR);
  }

 private:
  static gboolean RunHandOffs(gpointer) {
    HandOff::Instance().RunPending();
    return G_SOURCE_REMOVE;
  }

  void Box(UStringView caption, UStringView text, GtkMessageType type) {
    GtkWindow* parent =
        main_ != nullptr && main_->window() != nullptr ? GTK_WINDOW(main_->window()) : nullptr;
    GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, GTK_BUTTONS_OK, "%s",
                                               U8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), U8(caption).c_str());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
  }

  GObjectPtr<GtkApplication> app_;
  GtkForm* main_ = nullptr;
};

}  // namespace

std::unique_ptr<Toolkit> Toolkit::Open(int* argc, char*** argv) {
  if (gtk_init_check(argc, argv)) return std::make_unique<GtkToolkit>();
  return OpenConsoleToolkit();
}

}  // namespace platform::ui
