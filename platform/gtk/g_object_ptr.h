// Holds one reference to a GObject (a GtkApplication, a GtkCssProvider, a
// PangoLayout...) and drops it in its destructor.
//
//   GObjectPtr<PangoLayout> layout(gtk_widget_create_pango_layout(widget, text));
//   pango_layout_get_pixel_size(layout.get(), &w, &h);
#pragma once

#include <glib-object.h>

#include <utility>

namespace platform {

template <class T>
class GObjectPtr {
 public:
  explicit GObjectPtr(T* p = nullptr) : p_(p) {}
  GObjectPtr(GObjectPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.p_, nullptr));
    return *this;
  }
  GObjectPtr(const GObjectPtr&) = delete;
  GObjectPtr& operator=(const GObjectPtr&) = delete;
  ~GObjectPtr() { reset(); }

  T* get() const { return p_; }
  void reset(T* p = nullptr) {
    if (p_ != nullptr) g_object_unref(p_);
    p_ = p;
  }

 private:
  T* p_;
};

}  // namespace platform
