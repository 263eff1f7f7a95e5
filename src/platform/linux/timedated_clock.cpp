// One set per thread, on a GMainContext of that thread's own: the programs run no GLib main loop,
// and GDBus completes asynchronous calls only through one.
#include "platform/linux/timedated_clock.h"

#include <gio/gio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "platform/linux/set_lock.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

constexpr const char* kTimedated = "org.freedesktop.timedate1";
constexpr const char* kTimedatedPath = "/org/freedesktop/timedate1";
constexpr const char* kPolkit = "org.freedesktop.PolicyKit1";
constexpr const char* kPolkitPath = "/org/freedesktop/PolicyKit1/Authority";
constexpr const char* kPolkitInterface = "org.freedesktop.PolicyKit1.Authority";
constexpr const char* kSetTimeAction = "org.freedesktop.timedate1.set-time";
constexpr guint32 kAllowUserInteraction = 1;

// After the caller's deadline a SetTime that went out is waited for this many bounds longer, so
// that the next set begins only once it is known whether this one landed.
constexpr int kLateAnswerBounds = 10;
// How often a set looks whether another process's set has ended.
constexpr guint kLockRetryMs = 50;
// Consent that took longer than this was asked of a person.
constexpr auto kPromptShown = 1s;

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (name == n) return true;
  return false;
}

bool IsNoService(std::string_view name) {
  return IsOneOf(name, {"org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
                        "org.freedesktop.DBus.Error.UnknownObject", "org.freedesktop.DBus.Error.UnknownInterface",
                        "org.freedesktop.DBus.Error.UnknownMethod"}) ||
         name.starts_with("org.freedesktop.DBus.Error.Spawn.");
}

int ErrnoOfRemoteError(std::string_view name) {
  if (name == "org.freedesktop.timedate1.AutomaticTimeSyncEnabled") return EBUSY;
  if (IsOneOf(name, {"org.freedesktop.PolicyKit1.Error.NotAuthorized", "org.freedesktop.PolicyKit1.Error.Cancelled",
                     "org.freedesktop.DBus.Error.AccessDenied", "org.freedesktop.DBus.Error.AuthFailed",
                     "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired"}))
    return EACCES;
  if (IsNoService(name)) return EPERM;  // no timedated to ask: the same as a system without it
  if (IsOneOf(name, {"org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.Timeout",
                     "org.freedesktop.DBus.Error.TimedOut"}))
    return ETIMEDOUT;
  return EIO;
}

// The remote error's name, or "" for a local one (no bus, or it went away).
std::string RemoteName(const GError* error) {
  gchar* name = g_dbus_error_get_remote_error(error);
  std::string result = name ? name : "";
  g_free(name);
  return result;
}

int ErrnoOf(const GError* error) {
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return ECANCELED;
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) return ETIMEDOUT;
  const std::string name = RemoteName(error);
  return name.empty() ? EPERM : ErrnoOfRemoteError(name);
}

// When this process started, in clock ticks since boot (field 22 of /proc/self/stat): polkit
// names a process by pid and start time, so that a later process with the same pid is another.
std::uint64_t OwnStartTime() {
  std::ifstream in("/proc/self/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t nameEnd = stat.rfind(')');
  if (nameEnd == std::string::npos) return 0;
  std::istringstream fields(stat.substr(nameEnd + 2));  // field 3 on
  std::string field;
  for (int i = 3; i < 22 && fields >> field;) ++i;
  std::uint64_t start = 0;
  fields >> start;
  return start;
}

int MillisLeft(Clock::Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<std::int64_t>(1, left.count()));
}

std::atomic<unsigned> g_calls{0};

}  // namespace

struct TimedatedSetter::Call {
  Call(Clock::Deadline until, std::shared_ptr<ClockSetTicket> setTicket, Steps setSteps)
      : deadline(until), ticket(std::move(setTicket)), steps(std::move(setSteps)) {}
  ~Call() {
    if (connection != nullptr) g_object_unref(connection);
    g_object_unref(cancellable);
    g_main_loop_unref(loop);
    g_main_context_unref(context);
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  void Run();
  void TakeLock();
  void Connect();
  void CheckAutomaticSync();
  void Authorise();
  void SendSetTime();
  void OnDeadline();
  void Stop(int error);
  void CancelAuthorisation();
  // Only the first outcome reaches the caller.
  void Report(ClockSetResult result);
  void Finish(ClockSetResult result);
  // The outcome of a bus call that failed: the stop's reason when it was stopped.
  void Failed(GError* error);
  // Runs `work` on this call's thread, never inside the caller.
  void Post(void (*work)(Call&));

  const Clock::Deadline deadline;
  const std::shared_ptr<ClockSetTicket> ticket;
  Steps steps;
  SetLock lock;
  bool waitingForLock = false;
  bool authorising = false;
  bool sent = false;
  bool reported = false;
  bool waited = false;
  int stopped = 0;  // why the set was stopped: ETIMEDOUT at the deadline, ECANCELED at the end
  std::string cancellationId = "horavex-" + std::to_string(::getpid()) + "-" + std::to_string(++g_calls);
  std::chrono::steady_clock::time_point askedSince;
  ClockSetResult asked;  // what SetTime asked for
  GMainContext* context = g_main_context_new();
  GMainLoop* loop = g_main_loop_new(context, FALSE);
  GCancellable* cancellable = g_cancellable_new();
  GDBusConnection* connection = nullptr;
};

void TimedatedSetter::Call::Run() {
  g_main_context_push_thread_default(context);
  GSource* bound = g_timeout_source_new(static_cast<guint>(MillisLeft(deadline)));
  g_source_set_callback(
      bound,
      [](gpointer self) {
        static_cast<Call*>(self)->OnDeadline();
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
  g_source_attach(bound, context);
  Post([](Call& c) { c.TakeLock(); });
  g_main_loop_run(loop);
  g_source_destroy(bound);
  g_source_unref(bound);
  g_main_context_pop_thread_default(context);
}

void TimedatedSetter::Call::Post(void (*work)(Call&)) {
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_HIGH);
  g_source_set_callback(source, reinterpret_cast<GSourceFunc>(+[](gpointer data) -> gboolean {
                          auto* posted = static_cast<std::pair<Call*, void (*)(Call&)>*>(data);
                          posted->second(*posted->first);
                          return G_SOURCE_REMOVE;
                        }),
                        new std::pair<Call*, void (*)(Call&)>(this, work),
                        [](gpointer data) { delete static_cast<std::pair<Call*, void (*)(Call&)>*>(data); });
  g_source_attach(source, context);
  g_source_unref(source);
}

void TimedatedSetter::Call::TakeLock() {
  if (stopped) return Finish({stopped});
  const SetLock::Outcome outcome = lock.TryTake();
  waitingForLock = outcome == SetLock::Outcome::kBusy;
  if (waitingForLock) {
    // Another run's set is pending: wait for it rather than ask for the same correction again.
    if (!std::exchange(waited, true) && steps.waiting) steps.waiting();
    GSource* retry = g_timeout_source_new(kLockRetryMs);
    g_source_set_callback(
        retry,
        [](gpointer self) {
          static_cast<Call*>(self)->TakeLock();
          return G_SOURCE_REMOVE;
        },
        this, nullptr);
    g_source_attach(retry, context);
    g_source_unref(retry);
    return;
  }
  // A SetTime that its process did not see answered may still have moved the clock.
  if (lock.FoundUnanswered()) waited = true;
  Connect();
}

void TimedatedSetter::Call::Connect() {
  // DBUS_SYSTEM_BUS_ADDRESS, else the system's socket. A connection of our own, not GLib's shared
  // one, so that it lives only as long as the call.
  GError* error = nullptr;
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, cancellable, &error);
  if (address == nullptr) return Failed(error);
  g_dbus_connection_new_for_address(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, cancellable,
      [](GObject*, GAsyncResult* result, gpointer self) {
        Call& c = *static_cast<Call*>(self);
        GError* e = nullptr;
        c.connection = g_dbus_connection_new_for_address_finish(result, &e);
        if (c.connection == nullptr) return c.Failed(e);
        c.CheckAutomaticSync();
      },
      this);
  g_free(address);
}

void TimedatedSetter::Call::CheckAutomaticSync() {
  // timedated refuses every set while its synchronisation is on: say so before anyone is asked.
  g_dbus_connection_call(
      connection, kTimedated, kTimedatedPath, "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", kTimedated, "NTP"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, MillisLeft(deadline),
      cancellable,
      [](GObject* source, GAsyncResult* result, gpointer self) {
        Call& c = *static_cast<Call*>(self);
        GError* e = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &e);
        if (reply == nullptr) return c.Failed(e);
        GVariant* value = nullptr;
        g_variant_get(reply, "(v)", &value);
        const bool on = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
        g_variant_unref(value);
        g_variant_unref(reply);
        if (on) return c.Finish({EBUSY});
        c.Authorise();
      },
      this);
}

void TimedatedSetter::Call::Authorise() {
  GVariantBuilder process;
  g_variant_builder_init(&process, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&process, "{sv}", "pid", g_variant_new_uint32(static_cast<guint32>(::getpid())));
  g_variant_builder_add(&process, "{sv}", "start-time", g_variant_new_uint64(OwnStartTime()));
  g_variant_builder_add(&process, "{sv}", "uid", g_variant_new_int32(static_cast<gint32>(::getuid())));
  GVariantBuilder details;
  g_variant_builder_init(&details, G_VARIANT_TYPE("a{ss}"));
  authorising = true;
  askedSince = std::chrono::steady_clock::now();
  g_dbus_connection_call(
      connection, kPolkit, kPolkitPath, kPolkitInterface, "CheckAuthorization",
      g_variant_new("((sa{sv})sa{ss}us)", "unix-process", &process, kSetTimeAction, &details, kAllowUserInteraction,
                    cancellationId.c_str()),
      G_VARIANT_TYPE("((bba{ss}))"), G_DBUS_CALL_FLAGS_NONE, MillisLeft(deadline), cancellable,
      [](GObject* source, GAsyncResult* result, gpointer self) {
        Call& c = *static_cast<Call*>(self);
        c.authorising = false;
        GError* e = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &e);
        if (reply == nullptr && !c.stopped && IsNoService(RemoteName(e))) {
          // Without polkit timedated decides alone (it allows a process with the right).
          g_error_free(e);
          return c.SendSetTime();
        }
        if (reply == nullptr) return c.Failed(e);
        gboolean authorized = FALSE, challenge = FALSE;
        g_variant_get(reply, "((bb@a{ss}))", &authorized, &challenge, nullptr);
        g_variant_unref(reply);
        if (!authorized) return c.Finish({EACCES});
        if (std::chrono::steady_clock::now() - c.askedSince > kPromptShown) c.waited = true;
        c.SendSetTime();
      },
      this);
}

void TimedatedSetter::Call::SendSetTime() {
  // Consent that came just as the time ran out: ask nothing that could land unreported.
  if (stopped || std::chrono::steady_clock::now() >= deadline) return Finish({stopped ? stopped : ETIMEDOUT});
  ticket->Advance(SetStage::kSent);
  lock.MarkSent();
  sent = true;
  asked = steps.workOut();
  const auto usec = std::chrono::round<std::chrono::microseconds>(asked.correction).count();
  g_dbus_connection_call(
      connection, kTimedated, kTimedatedPath, kTimedated, "SetTime",
      g_variant_new("(xbb)", static_cast<gint64>(usec), TRUE, FALSE), nullptr, G_DBUS_CALL_FLAGS_NONE,
      static_cast<int>(kSetBound.count() * kLateAnswerBounds), cancellable,
      [](GObject* source, GAsyncResult* result, gpointer self) {
        Call& c = *static_cast<Call*>(self);
        GError* e = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &e);
        ClockSetResult r = c.asked;
        r.error = reply ? 0 : ErrnoOf(e);
        // Stopped, or given up, while waiting for the answer: whether it landed stays unknown, and
        // the lock's record says so to the next holder.
        r.pending = r.error == ECANCELED || r.error == ETIMEDOUT;
        if (!r.pending) c.lock.MarkAnswered();
        r.way = r.error == 0 ? SetWay::kTimedated : SetWay::kNone;
        if (reply) g_variant_unref(reply);
        if (e) g_error_free(e);
        c.Finish(r);
      },
      this);
}

void TimedatedSetter::Call::OnDeadline() {
  if (!sent) return Stop(ETIMEDOUT);
  // Asked and not answered: the caller waits no longer, but the next set waits for the answer.
  ClockSetResult late = asked;
  late.error = ETIMEDOUT;
  late.pending = true;
  Report(late);
}

void TimedatedSetter::Call::Stop(int error) {
  if (stopped) return;
  stopped = error;
  if (authorising) CancelAuthorisation();
  // Every call under way ends with G_IO_ERROR_CANCELLED and finishes through Failed; a set that
  // waits for the lock has none.
  g_cancellable_cancel(cancellable);
  if (waitingForLock) Finish({error});
}

void TimedatedSetter::Call::CancelAuthorisation() {
  // Withdraws the prompt from the desktop; polkit answers the pending check with Cancelled.
  GVariant* reply =
      g_dbus_connection_call_sync(connection, kPolkit, kPolkitPath, kPolkitInterface, "CancelCheckAuthorization",
                                  g_variant_new("(s)", cancellationId.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, 1000,
                                  nullptr, nullptr);
  if (reply) g_variant_unref(reply);
}

void TimedatedSetter::Call::Failed(GError* error) {
  const int e = stopped ? stopped : ErrnoOf(error);
  g_error_free(error);
  Finish({e});
}

void TimedatedSetter::Call::Report(ClockSetResult result) {
  if (std::exchange(reported, true)) return;
  result.waited = result.waited || waited;
  steps.report(result);
}

void TimedatedSetter::Call::Finish(ClockSetResult result) {
  Report(result);
  ticket->Advance(SetStage::kEnded);
  g_main_loop_quit(loop);
}

TimedatedSetter::~TimedatedSetter() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(m_mutex);
    if (m_current) m_current->Post([](Call& c) { c.Stop(ECANCELED); });
    threads.swap(m_threads);
  }
  for (std::thread& t : threads) t.join();
}

void TimedatedSetter::Set(Clock::Deadline deadline, std::shared_ptr<ClockSetTicket> ticket, Steps steps) {
  auto call = std::make_shared<Call>(deadline, std::move(ticket), std::move(steps));
  std::lock_guard lock(m_mutex);
  // The sets before this one have finished; their threads are ending, or this is one of them.
  for (auto it = m_threads.begin(); it != m_threads.end();) {
    if (it->get_id() == std::this_thread::get_id()) {
      ++it;
      continue;
    }
    it->join();
    it = m_threads.erase(it);
  }
  m_current = call;
  m_threads.emplace_back([call] {
    call->Run();
    call->steps.finished();
  });
}

}  // namespace horavex
