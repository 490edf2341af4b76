#pragma once
// Owner types for GLib-family C objects, so that no code calls g_object_unref or
// g_free by hand.

#include <glib-object.h>

#include <algorithm>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace quorvel {

struct GObjectDeleter {
  void operator()(gpointer object) const { g_object_unref(object); }
};

// A counted GObject reference. adopt() takes a reference the caller already owns
// (the result of *_new); retain() adds one.
template <typename T>
class GRef {
 public:
  GRef() = default;
  static GRef adopt(T* object) { return GRef(object); }
  static GRef retain(T* object) {
    if (object) g_object_ref(object);
    return GRef(object);
  }
  // For floating references (GTK widgets, GVariants are not handled here).
  static GRef sink(T* object) {
    if (object) g_object_ref_sink(object);
    return GRef(object);
  }

  T* get() const { return ptr_.get(); }
  T* operator->() const { return ptr_.get(); }
  explicit operator bool() const { return static_cast<bool>(ptr_); }
  void reset() { ptr_.reset(); }
  T* release() { return ptr_.release(); }

 private:
  explicit GRef(T* object) : ptr_(object) {}
  std::unique_ptr<T, GObjectDeleter> ptr_;
};

// A weak GObject reference: get() is empty once the object is gone. What
// WeakOwner and SignalConnections are made of; an asynchronous step holds its
// owner through WeakOwner.
template <typename T>
class GWeak {
 public:
  explicit GWeak(T* object) { g_weak_ref_init(&ref_, object); }
  ~GWeak() { g_weak_ref_clear(&ref_); }
  GWeak(const GWeak&) = delete;
  GWeak& operator=(const GWeak&) = delete;
  GRef<T> get() { return GRef<T>::adopt(static_cast<T*>(g_weak_ref_get(&ref_))); }

 private:
  GWeakRef ref_;
};

struct GFreeDeleter {
  void operator()(gpointer p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

// Copies a g_free'd string into a std::string and frees it; null becomes "".
inline std::string takeString(gchar* s) {
  GCharPtr owner(s);
  return s ? std::string(s) : std::string();
}

// A GError out-parameter: `GErrorHolder e; call(..., e.out()); if (e) e.message()`.
class GErrorHolder {
 public:
  GErrorHolder() = default;
  GErrorHolder(const GErrorHolder&) = delete;
  GErrorHolder& operator=(const GErrorHolder&) = delete;
  ~GErrorHolder() { g_clear_error(&error_); }

  GError** out() {
    g_clear_error(&error_);
    return &error_;
  }
  explicit operator bool() const { return error_ != nullptr; }
  const GError* get() const { return error_; }
  std::string message() const { return error_ ? error_->message : ""; }

 private:
  GError* error_ = nullptr;
};

// Signal handlers that are taken off when their owner goes, from every instance
// still alive then: `connections_.add(webView, "load-changed", G_CALLBACK(f), this)`.
// A handler that belongs to its instance alone (a dialog's answer) is connected
// with forLifeOf, which frees its data when the instance goes.
class SignalConnections {
 public:
  SignalConnections() = default;
  SignalConnections(const SignalConnections&) = delete;
  SignalConnections& operator=(const SignalConnections&) = delete;
  ~SignalConnections() { disconnectAll(); }

  gulong add(gpointer instance, const char* signal, GCallback handler, gpointer data,
             GConnectFlags flags = G_CONNECT_DEFAULT) {
    gulong id = g_signal_connect_data(instance, signal, handler, data, nullptr, flags);
    handlers_.push_back({std::make_unique<GWeak<GObject>>(G_OBJECT(instance)), id});
    return id;
  }
  // One handler, by what add() returned.
  void disconnect(gulong id) {
    auto handler = std::find_if(handlers_.begin(), handlers_.end(), [id](const auto& h) { return h.second == id; });
    if (handler == handlers_.end()) return;
    if (auto alive = handler->first->get()) g_signal_handler_disconnect(alive.get(), id);
    handlers_.erase(handler);
  }
  void disconnectAll() {
    for (auto& [instance, id] : handlers_) {
      if (auto alive = instance->get()) g_signal_handler_disconnect(alive.get(), id);
    }
    handlers_.clear();
  }

  // `data` (may be null) is deleted with the handler, when the instance goes.
  template <typename Data = void>
  static void forLifeOf(gpointer instance, const char* signal, GCallback handler, Data* data = nullptr) {
    GClosureNotify drop = nullptr;
    if constexpr (!std::is_void_v<Data>) drop = [](gpointer held, GClosure*) { delete static_cast<Data*>(held); };
    g_signal_connect_data(instance, signal, handler, data, drop, G_CONNECT_DEFAULT);
  }

 private:
  std::vector<std::pair<std::unique_ptr<GWeak<GObject>>, gulong>> handlers_;
};

template <typename T>
class WeakAnchor;

// An owner held weakly across an asynchronous step, the one way here. An owner
// kept in a shared_ptr is held as `WeakOwner<T>(shared)`, a GObject as
// `WeakOwner<T>::object(instance)`; any other keeps a `WeakAnchor<T> anchor_{this}`
// and hands out `anchor_.weak()`. The step asks get(), null once the owner has
// gone. What get() returns keeps a shared owner or a GObject alive while it is
// held, on any thread. An anchored owner lives and dies on the main thread, and
// what get() returns keeps it from nothing: once it has gone every step sees so,
// also one run from inside another. Through a C callback's user data:
// `weak.data()`, taken back with `WeakOwner<T>::take(data)` or freed by
// `WeakOwner<T>::free`.
template <typename T>
class WeakOwner {
 public:
  explicit WeakOwner(std::weak_ptr<T> owner) : owner_(std::move(owner)) {}
  static WeakOwner object(T* instance) {
    WeakOwner weak{std::weak_ptr<T>()};
    weak.object_ = std::make_shared<GWeak<GObject>>(G_OBJECT(instance));
    return weak;
  }

  std::shared_ptr<T> get() const {
    if (anchored_) return std::shared_ptr<T>(std::shared_ptr<T>(), owner_.lock().get());
    if (!object_) return owner_.lock();
    auto* alive = static_cast<T*>(static_cast<gpointer>(object_->get().release()));
    if (!alive) return nullptr;
    return std::shared_ptr<T>(alive, [](T* held) { g_object_unref(held); });
  }

  gpointer data() const { return new WeakOwner(*this); }
  static WeakOwner take(gpointer data) {
    std::unique_ptr<WeakOwner> held(static_cast<WeakOwner*>(data));
    return *held;
  }
  static void free(gpointer data) { delete static_cast<WeakOwner*>(data); }

 private:
  friend class WeakAnchor<T>;
  std::weak_ptr<T> owner_;
  bool anchored_ = false;
  std::shared_ptr<GWeak<GObject>> object_;
};

template <typename T>
class WeakAnchor {
 public:
  explicit WeakAnchor(T* owner) : alive_(owner, [](T*) {}) {}
  WeakAnchor(const WeakAnchor&) = delete;
  WeakAnchor& operator=(const WeakAnchor&) = delete;
  WeakOwner<T> weak() const {
    WeakOwner<T> weak(alive_);
    weak.anchored_ = true;
    return weak;
  }

 private:
  std::shared_ptr<T> alive_;  // deletes nothing: it only says that the owner is there
};

// Generic owner for other C handles with a free function.
template <typename T, void (*Free)(T*)>
struct CFreeDeleter {
  void operator()(T* p) const { if (p) Free(p); }
};
template <typename T, void (*Free)(T*)>
using CPtr = std::unique_ptr<T, CFreeDeleter<T, Free>>;

using UriPtr = CPtr<GUri, g_uri_unref>;
using VariantPtr = CPtr<GVariant, g_variant_unref>;
// Lists that own their links, not what the links point to.
using ListPtr = CPtr<GList, g_list_free>;
using SListPtr = CPtr<GSList, g_slist_free>;
using StrvPtr = CPtr<gchar*, g_strfreev>;

}  // namespace quorvel
