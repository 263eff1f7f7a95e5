// One SetTime call per thread, on a GMainContext of that thread's own: the programs run no GLib
// main loop, and GDBus completes asynchronous calls only through one.
#include "platform/linux/timedated_clock.h"

#include <gio/gio.h>

#include <cerrno>
#include <cstdint>
#include <string_view>
#include <utility>

namespace horavex {
namespace {

constexpr const char* kService = "org.freedesktop.timedate1";
constexpr const char* kPath = "/org/freedesktop/timedate1";

// After the caller has stopped waiting, the call is kept this many waits longer, so that a late
// answer is still known before another call may be made: two calls granted would correct twice.
constexpr int kLateAnswerWaits = 10;

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (name == n) return true;
  return false;
}

int ErrnoOfRemoteError(std::string_view name) {
  if (name == "org.freedesktop.timedate1.AutomaticTimeSyncEnabled") return EBUSY;
  if (IsOneOf(name, {"org.freedesktop.PolicyKit1.Error.NotAuthorized", "org.freedesktop.PolicyKit1.Error.Cancelled",
                     "org.freedesktop.DBus.Error.AccessDenied", "org.freedesktop.DBus.Error.AuthFailed",
                     "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired"}))
    return EACCES;
  // No timedated to ask: the same as a system without it.
  if (IsOneOf(name, {"org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
                     "org.freedesktop.DBus.Error.UnknownObject", "org.freedesktop.DBus.Error.UnknownInterface",
                     "org.freedesktop.DBus.Error.UnknownMethod"}) ||
      name.starts_with("org.freedesktop.DBus.Error.Spawn."))
    return EPERM;
  if (IsOneOf(name, {"org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.Timeout",
                     "org.freedesktop.DBus.Error.TimedOut"}))
    return ETIMEDOUT;
  return EIO;
}

int ErrnoOf(const GError* error) {
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return ECANCELED;
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) return ETIMEDOUT;
  gchar* name = g_dbus_error_get_remote_error(error);
  if (name == nullptr) return EPERM;  // no system bus, or it went away
  const int result = ErrnoOfRemoteError(name);
  g_free(name);
  return result;
}

}  // namespace

struct TimedatedSetter::Call {
  Call(std::int64_t correctionUsec, std::function<void(int)> onDone) : usec(correctionUsec), done(std::move(onDone)) {}
  ~Call() {
    if (connection != nullptr) g_object_unref(connection);
    g_object_unref(cancellable);
    g_main_loop_unref(loop);
    g_main_context_unref(context);
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  // Only the first outcome reaches the caller; a late answer after the wait is dropped.
  void Report(int error) {
    if (!done) return;
    auto d = std::move(done);
    done = nullptr;
    d(error);
  }
  void Finish(int error) {
    Report(error);
    g_main_loop_quit(loop);
  }

  void Run(std::chrono::milliseconds wait);
  static void OnConnected(GObject* source, GAsyncResult* result, gpointer self);
  static void OnAnswered(GObject* source, GAsyncResult* result, gpointer self);

  const std::int64_t usec;
  std::function<void(int)> done;
  int callTimeoutMs = 0;
  GMainContext* context = g_main_context_new();
  GMainLoop* loop = g_main_loop_new(context, FALSE);
  GCancellable* cancellable = g_cancellable_new();
  GDBusConnection* connection = nullptr;
};

void TimedatedSetter::Call::Run(std::chrono::milliseconds wait) {
  g_main_context_push_thread_default(context);
  callTimeoutMs = static_cast<int>(wait.count() * kLateAnswerWaits);
  GSource* bound = g_timeout_source_new(static_cast<guint>(wait.count()));
  g_source_set_callback(
      bound,
      [](gpointer self) {
        static_cast<Call*>(self)->Report(ETIMEDOUT);
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
  g_source_attach(bound, context);
  // DBUS_SYSTEM_BUS_ADDRESS, else the system's socket. A connection of our own, not GLib's shared
  // one, so that it lives only as long as the call.
  GError* error = nullptr;
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, cancellable, &error);
  if (address == nullptr) {
    Report(ErrnoOf(error));
    g_error_free(error);
  } else {
    g_dbus_connection_new_for_address(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancellable, &Call::OnConnected, this);
    g_free(address);
    g_main_loop_run(loop);
  }
  g_source_destroy(bound);
  g_source_unref(bound);
  g_main_context_pop_thread_default(context);
}

void TimedatedSetter::Call::OnConnected(GObject*, GAsyncResult* result, gpointer self) {
  Call& c = *static_cast<Call*>(self);
  GError* error = nullptr;
  c.connection = g_dbus_connection_new_for_address_finish(result, &error);
  if (c.connection == nullptr) {
    c.Finish(ErrnoOf(error));
    g_error_free(error);
    return;
  }
  // relative: the correction stays right however long the person takes to answer a prompt.
  g_dbus_connection_call(c.connection, kService, kPath, kService, "SetTime",
                         g_variant_new("(xbb)", static_cast<gint64>(c.usec), TRUE, TRUE), nullptr,
                         G_DBUS_CALL_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION, c.callTimeoutMs, c.cancellable,
                         &Call::OnAnswered, self);
}

void TimedatedSetter::Call::OnAnswered(GObject* source, GAsyncResult* result, gpointer self) {
  Call& c = *static_cast<Call*>(self);
  GError* error = nullptr;
  if (GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error)) {
    g_variant_unref(reply);
    c.Finish(0);
    return;
  }
  c.Finish(ErrnoOf(error));
  g_error_free(error);
}

TimedatedSetter::TimedatedSetter(std::chrono::milliseconds wait) : wait_(wait) {}

TimedatedSetter::~TimedatedSetter() {
  {
    std::lock_guard lock(mutex_);
    if (current_) g_cancellable_cancel(current_->cancellable);
  }
  if (thread_.joinable()) thread_.join();
}

void TimedatedSetter::Set(std::chrono::microseconds correction, std::function<void(int)> done) {
  bool already = false;
  {
    std::lock_guard lock(mutex_);
    already = std::exchange(busy_, true);
  }
  if (already) {
    done(EALREADY);
    return;
  }
  // Not busy: the previous call's thread has finished or is about to.
  if (thread_.joinable()) thread_.join();
  auto call = std::make_shared<Call>(correction.count(), std::move(done));
  {
    std::lock_guard lock(mutex_);
    current_ = call;
  }
  thread_ = std::thread([this, call] {
    call->Run(wait_);
    std::lock_guard lock(mutex_);
    busy_ = false;
  });
}

}  // namespace horavex
