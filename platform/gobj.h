// Owning holder of one GObject reference.
#pragma once

#include <glib-object.h>

#include <memory>
#include <utility>

template <class T>
class GRef {
 public:
  GRef() = default;
  // Takes over a reference the caller owns (a "transfer full" return value).
  static GRef adopt(T* obj) { return GRef(obj); }
  // Adds a reference of its own.
  static GRef retain(T* obj) { return GRef(obj ? static_cast<T*>(g_object_ref(obj)) : nullptr); }

  GRef(const GRef& other)
      : obj_(other.obj_ ? static_cast<T*>(g_object_ref(other.obj_)) : nullptr) {}
  GRef(GRef&& other) noexcept : obj_(std::exchange(other.obj_, nullptr)) {}
  GRef& operator=(GRef other) noexcept {
    std::swap(obj_, other.obj_);
    return *this;
  }
  ~GRef() {
    if (obj_) g_object_unref(obj_);
  }

  T* get() const { return obj_; }
  explicit operator bool() const { return obj_ != nullptr; }
  void reset() { GRef().swap(*this); }
  void swap(GRef& other) noexcept { std::swap(obj_, other.obj_); }

 private:
  explicit GRef(T* obj) : obj_(obj) {}
  T* obj_ = nullptr;
};

// Owning holder of a g_malloc'ed string.
struct GFreeDeleter {
  void operator()(void* p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;
