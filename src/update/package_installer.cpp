#include "update/package_installer.h"

#include <gio/gio.h>

#include "base/glib_ptr.h"

namespace quorvel {
namespace {

constexpr const char* kService = "org.freedesktop.PackageKit";
constexpr const char* kTransaction = "org.freedesktop.PackageKit.Transaction";
// PackageKit reports 101 while it does not know how far it is.
constexpr guint kUnknownPercentage = 101;

std::string couldNotInstall(std::string reason) {
  while (!reason.empty() && (reason.back() == '.' || g_ascii_isspace(reason.back()))) reason.pop_back();
  if (reason.empty()) return "The update could not be installed.";
  return "The update could not be installed: " + reason + ".";
}

}  // namespace

void InstallTransaction::errorCode(unsigned, const std::string& details) {
  if (details_.empty()) details_ = details;
}

InstallOutcome InstallTransaction::finished(unsigned exit) const {
  using Kind = InstallOutcome::Kind;
  if (exit == kExitSuccess) return {Kind::Installed, {}};
  if (exit == kExitCancelled || exit == kExitCancelledPriority) {
    return {Kind::Failed, "The installation was cancelled."};
  }
  return {Kind::Failed, couldNotInstall(details_)};
}

struct PackageInstaller::State : std::enable_shared_from_this<State> {
  std::string package;
  Events events;
  GRef<GCancellable> cancellable = GRef<GCancellable>::adopt(g_cancellable_new());
  GRef<GDBusConnection> bus;
  std::string path;  // the transaction's object
  InstallTransaction transaction;
  guint subscriptions[2] = {};

  ~State() {
    g_cancellable_cancel(cancellable.get());
    for (guint& id : subscriptions) {
      if (id != 0) g_dbus_connection_signal_unsubscribe(bus.get(), id);
    }
  }

  void finish(const InstallOutcome& outcome) {
    auto done = std::move(events.done);
    auto keep = shared_from_this();
    if (done) done(outcome);
  }
  void unavailable() {
    finish({InstallOutcome::Kind::NoPackageKit,
            "PackageKit, which installs software on this system, is not available."});
  }
  void failed(const GError* error) {
    if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)) {
      unavailable();
      return;
    }
    CPtr<GError, g_error_free> plain(g_error_copy(error));
    g_dbus_error_strip_remote_error(plain.get());
    finish({InstallOutcome::Kind::Failed, couldNotInstall(plain->message)});
  }
  void transactionCreated(const std::string& objectPath);
  void signal(const char* member, GVariant* parameters);
};

namespace {

using Owner = WeakOwner<PackageInstaller::State>;

template <typename F>
void call(PackageInstaller::State& caller, const char* path, const char* interface, const char* method,
          GVariant* parameters, F then) {
  // The reply comes back to a weakly held state; `then` is a captureless function.
  struct Pending {
    Owner owner;
    F then;
  };
  g_dbus_connection_call(
      caller.bus.get(), kService, path, interface, method, parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
      caller.cancellable.get(),
      [](GObject* bus, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
        GErrorHolder error;
        VariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, error.out()));
        auto state = pending->owner.get();
        if (!state) return;
        if (!reply) {
          state->failed(error.get());
          return;
        }
        pending->then(*state, reply.get());
      },
      new Pending{Owner(caller.weak_from_this()), then});
}

}  // namespace

void PackageInstaller::State::transactionCreated(const std::string& objectPath) {
  path = objectPath;
  // Subscribed before anything is asked of the transaction, so that no signal is missed.
  auto onSignal = [](GDBusConnection*, const char*, const char*, const char*, const char* member,
                     GVariant* parameters, gpointer data) {
    if (auto state = static_cast<Owner*>(data)->get()) state->signal(member, parameters);
  };
  subscriptions[0] = g_dbus_connection_signal_subscribe(bus.get(), kService, kTransaction, nullptr, path.c_str(),
                                                        nullptr, G_DBUS_SIGNAL_FLAGS_NONE, onSignal,
                                                        Owner(weak_from_this()).data(), Owner::free);
  subscriptions[1] = g_dbus_connection_signal_subscribe(bus.get(), kService, "org.freedesktop.DBus.Properties",
                                                        "PropertiesChanged", path.c_str(), kTransaction,
                                                        G_DBUS_SIGNAL_FLAGS_NONE, onSignal,
                                                        Owner(weak_from_this()).data(), Owner::free);
  // Asked to be interactive, PackageKit lets polkit ask the user for consent.
  const char* hints[] = {"interactive=true", nullptr};
  g_dbus_connection_call(bus.get(), kService, path.c_str(), kTransaction, "SetHints", g_variant_new("(^as)", hints),
                         nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  // No flags: not "only trusted", so a package from outside the archive may be installed once consented to.
  // The call returns once the transaction is queued; consent and the result come as signals.
  const char* files[] = {package.c_str(), nullptr};
  call(*this, path.c_str(), kTransaction, "InstallFiles", g_variant_new("(t^as)", guint64{0}, files),
       [](State&, GVariant*) {});
}

void PackageInstaller::State::signal(const char* member, GVariant* parameters) {
  if (g_str_equal(member, "ErrorCode") && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
    guint code = 0;
    const char* details = nullptr;
    g_variant_get(parameters, "(u&s)", &code, &details);
    transaction.errorCode(code, details);
  } else if (g_str_equal(member, "Finished") && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
    guint exit = 0, runtime = 0;
    g_variant_get(parameters, "(uu)", &exit, &runtime);
    finish(transaction.finished(exit));
  } else if (g_str_equal(member, "PropertiesChanged") && events.progress &&
             g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) {
    VariantPtr changed(g_variant_get_child_value(parameters, 1));
    guint percentage = 0;
    if (g_variant_lookup(changed.get(), "Percentage", "u", &percentage)) {
      events.progress(percentage >= kUnknownPercentage ? -1.0 : percentage / 100.0);
    }
  }
}

PackageInstaller::PackageInstaller(const std::string& packagePath, Events events) : state_(std::make_shared<State>()) {
  state_->package = packagePath;
  state_->events = std::move(events);
  g_bus_get(
      G_BUS_TYPE_SYSTEM, state_->cancellable.get(),
      [](GObject*, GAsyncResult* result, gpointer data) {
        const Owner owner = Owner::take(data);
        GErrorHolder error;
        auto bus = GRef<GDBusConnection>::adopt(g_bus_get_finish(result, error.out()));
        auto state = owner.get();
        if (!state) return;
        if (!bus) {
          state->unavailable();  // no system bus at all
          return;
        }
        state->bus = std::move(bus);
        call(*state, "/org/freedesktop/PackageKit", kService, "CreateTransaction", nullptr,
             [](State& self, GVariant* reply) {
               const char* path = nullptr;
               if (g_variant_is_of_type(reply, G_VARIANT_TYPE("(o)"))) g_variant_get(reply, "(&o)", &path);
               if (path == nullptr) {
                 self.finish({InstallOutcome::Kind::Failed,
                              "PackageKit gave no transaction to install the update with."});
                 return;
               }
               self.transactionCreated(path);
             });
      },
      Owner(state_).data());
}

PackageInstaller::~PackageInstaller() = default;

}  // namespace quorvel
