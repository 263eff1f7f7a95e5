#include "gui/status_icon.h"

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <wx/app.h>

#include "gui/resources.h"

namespace horavex {
namespace {

constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr int kHostQueryMs = 500;

// One menu entry's way back to its action: the actions may be gone when it is activated.
struct EntryLink {
  std::weak_ptr<StatusIconActions> actions;
  std::size_t index = 0;
};

void OnActivate(GtkMenuItem*, gpointer data) {
  const EntryLink link = *static_cast<EntryLink*>(data);
  // Out of GTK's emission: "Stoppen" and the settings' check box take the icon and its menu away.
  wxTheApp->CallAfter([link] {
    const std::shared_ptr<StatusIconActions> actions = link.actions.lock();
    if (!actions) return;
    const std::function<void()>* entries[] = {&actions->show, &actions->synchronise, &actions->settings, &actions->stop};
    if (*entries[link.index]) (*entries[link.index])();
  });
}

// libayatana-appindicator3's fallback (a GtkStatusIcon, where no watcher is on the bus) looks for
// the indicator's theme path in the default icon theme's search path, and when it is not there
// reads past the end of that list (`i < n || path[i] == NULL`): a crash under the sanitizers, a
// read of whatever follows otherwise. The path is put there before the indicator is made, so the
// search ends on it; the fallback then also finds the icons by name.
void AddToIconThemePath(const std::string& folder) {
  GtkIconTheme* theme = gtk_icon_theme_get_default();
  if (!theme) return;
  gchar** paths = nullptr;
  gint count = 0;
  gtk_icon_theme_get_search_path(theme, &paths, &count);
  bool present = false;
  for (gint i = 0; i < count && !present; ++i) present = folder == paths[i];
  g_strfreev(paths);
  if (!present) gtk_icon_theme_append_search_path(theme, folder.c_str());
}

}  // namespace

struct StatusIcon::Impl {
  std::shared_ptr<StatusIconActions> actions;
  AppIndicator* indicator = nullptr;
  GtkWidget* menu = nullptr;
};

StatusIcon::StatusIcon(StatusIconActions actions) : impl_(std::make_unique<Impl>()) {
  impl_->actions = std::make_shared<StatusIconActions>(std::move(actions));
  // The artwork's folder is the icons' theme path: found beside the program or where it is installed.
  const std::string art = FindDataFile("art/icon-app.svg").parent_path().string();
  // Without the artwork, the icon the installed program's desktop entry names, from the theme.
  if (!art.empty()) AddToIconThemePath(art);
  impl_->indicator = art.empty() ? app_indicator_new("nl.horavex.Horavex", "nl.horavex.Horavex",
                                                     APP_INDICATOR_CATEGORY_APPLICATION_STATUS)
                                 : app_indicator_new_with_path("nl.horavex.Horavex", "icon-app",
                                                               APP_INDICATOR_CATEGORY_APPLICATION_STATUS, art.c_str());
  app_indicator_set_attention_icon_full(impl_->indicator, "icon-attention", "Err:Stop");
  impl_->menu = gtk_menu_new();
  g_object_ref_sink(impl_->menu);
  for (std::size_t i = 0; i < StatusIconModel::kMenuLabels.size(); ++i) {
    GtkWidget* item = gtk_menu_item_new_with_label(Tr(StatusIconModel::kMenuLabels[i]));
    g_signal_connect_data(item, "activate", G_CALLBACK(OnActivate), new EntryLink{impl_->actions, i},
                          [](gpointer data, GClosure*) { delete static_cast<EntryLink*>(data); }, GConnectFlags{});
    gtk_menu_shell_append(GTK_MENU_SHELL(impl_->menu), item);
  }
  gtk_widget_show_all(impl_->menu);
  app_indicator_set_menu(impl_->indicator, GTK_MENU(impl_->menu));
}

StatusIcon::~StatusIcon() {
  impl_->actions.reset();  // an entry activated meanwhile finds nothing to run
  app_indicator_set_status(impl_->indicator, APP_INDICATOR_STATUS_PASSIVE);
  g_object_unref(impl_->indicator);
  gtk_widget_destroy(impl_->menu);
  g_object_unref(impl_->menu);
}

void StatusIcon::Show(const StatusIconModel& model) {
  app_indicator_set_title(impl_->indicator, model.Title().c_str());
  app_indicator_set_status(impl_->indicator,
                           model.Attention() ? APP_INDICATOR_STATUS_ATTENTION : APP_INDICATOR_STATUS_ACTIVE);
}

bool StatusIcon::HostPresent() {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!bus) return false;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, kWatcherName, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", kWatcherName, "IsStatusNotifierHostRegistered"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, kHostQueryMs, nullptr, nullptr);
  g_object_unref(bus);
  if (!reply) return false;
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  const bool hosted = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
  g_variant_unref(value);
  g_variant_unref(reply);
  return hosted;
}

}  // namespace horavex
