#include <gtk/gtk.h>

#include <cstring>
#include <string>

#include "resources/menu.h"
#include "resources/tr.h"
#include "window/message_loop.h"
#include "window/message_loop_gtk.h"
#include "window/virtual_key.h"
#include "window/window.h"
#include "window/window_system.h"

namespace {

// Keys of the data each main window carries.
constexpr char kSlotKey[] = "gravimo-slot";
constexpr char kClientKey[] = "gravimo-client";
constexpr char kSurfaceKey[] = "gravimo-client-surface";
constexpr char kDestroyedKey[] = "gravimo-destroyed";
constexpr char kOwnerKey[] = "gravimo-owner";
constexpr char kCommandKey[] = "gravimo-command";
// Set while the program itself checks a radio item: GTK then activates the
// item, which is no command of the user's.
constexpr char kCheckingKey[] = "gravimo-checking";

GObject* AsObject(WindowHandle window) {
  return static_cast<GObject*>(window);
}

GtkWidget* ClientArea(WindowHandle window) {
  return static_cast<GtkWidget*>(g_object_get_data(AsObject(window), kClientKey));
}

int IsDestroyed(WindowHandle window) {
  return g_object_get_data(AsObject(window), kDestroyedKey) != nullptr;
}

// The key under which a window keeps its menu item of a command.
std::string ItemKey(unsigned command) {
  return "gravimo-item-" + std::to_string(command);
}

void OnMenuItemActivate(GtkMenuItem* item, gpointer) {
  WindowHandle window = g_object_get_data(G_OBJECT(item), kOwnerKey);
  if (g_object_get_data(AsObject(window), kCheckingKey)) {
    return;
  }
  const auto command = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kCommandKey));
  ktWindow::WindowProc(window, kWmCommand, command, 0);
}

// An item text "Label\tK" shows "Label" with the key K on the right, as an
// accelerator label only: the key itself arrives as a key-down message.
// A radio item joins the group of the popup's radio items before it.
GtkWidget* NewMenuItem(const char* text, GSList** radioGroup) {
  if (radioGroup) {
    GtkWidget* item = gtk_radio_menu_item_new_with_label(*radioGroup, text);
    *radioGroup = gtk_radio_menu_item_get_group(GTK_RADIO_MENU_ITEM(item));
    return item;
  }
  const char* tab = std::strchr(text, '\t');
  if (!tab) {
    return gtk_menu_item_new_with_label(text);
  }
  GtkWidget* item = gtk_menu_item_new_with_label(std::string(text, tab).c_str());
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
  const guint key = gdk_unicode_to_keyval(static_cast<unsigned char>(tab[1]));
  gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), key, GdkModifierType(0));
  return item;
}

GtkWidget* NewPopup(GtkWidget* window, const resources::MenuPopup& popup) {
  GtkWidget* menu = gtk_menu_new();
  GSList* radioGroup = nullptr;
  for (int i = 0; i < popup.itemCount; ++i) {
    const resources::MenuItem& entry = popup.items[i];
    const bool radio = entry.kind == resources::MenuItemKind::Radio;
    GtkWidget* item = entry.kind == resources::MenuItemKind::Check
                          ? gtk_check_menu_item_new_with_label(Tr(entry.text))
                          : NewMenuItem(Tr(entry.text), radio ? &radioGroup : nullptr);
    g_object_set_data(G_OBJECT(window), ItemKey(entry.commandId).c_str(), item);
    g_object_set_data(G_OBJECT(item), kOwnerKey, window);
    g_object_set_data(G_OBJECT(item), kCommandKey, GUINT_TO_POINTER(entry.commandId));
    g_signal_connect(item, "activate", G_CALLBACK(OnMenuItemActivate), nullptr);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
  }
  GtkWidget* top = gtk_menu_item_new_with_label(Tr(popup.title));
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), menu);
  return top;
}

GtkWidget* NewMenuBar(GtkWidget* window) {
  GtkWidget* bar = gtk_menu_bar_new();
  for (int i = 0; i < resources::kMainMenuPopupCount; ++i) {
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), NewPopup(window, resources::kMainMenu[i]));
  }
  return bar;
}

void PaintClient(cairo_t* cr, cairo_surface_t* surface) {
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  if (surface) {
    cairo_set_source_surface(cr, surface, 0, 0);
  } else {
    cairo_set_source_rgb(cr, 0, 0, 0);
  }
  cairo_paint(cr);
}

gboolean OnClientDraw(GtkWidget*, cairo_t* cr, gpointer window) {
  PaintClient(cr, static_cast<cairo_surface_t*>(g_object_get_data(AsObject(window), kSurfaceKey)));
  return TRUE;
}

// The keysym of the pressed key in the first layout group, without
// modifiers; 0 when the keymap has none.
uint32_t GroupZeroKeysym(GtkWidget* window, const GdkEventKey* event) {
  GdkKeymap* keymap = gdk_keymap_get_for_display(gtk_widget_get_display(window));
  guint keyval = 0;
  if (!gdk_keymap_translate_keyboard_state(keymap, event->hardware_keycode, GdkModifierType(0), 0,
                                           &keyval, nullptr, nullptr, nullptr)) {
    return 0;
  }
  return keyval;
}

// Key presses become key-down messages; GTK's own key handling (F10 opens
// the menu) still follows, as the default handling of key-down does nothing.
gboolean OnKeyPress(GtkWidget* window, GdkEventKey* event, gpointer) {
  const uint32_t virtualKey = VirtualKeyOfPress(event->keyval, GroupZeroKeysym(window, event));
  if (virtualKey) {
    ktWindow::WindowProc(window, kWmKeyDown, virtualKey, 1);
  }
  return FALSE;
}

// The pointer over the client area, in its own pixels, as a mouse-move
// message; GTK's handling follows.
gboolean OnClientMotion(GtkWidget*, GdkEventMotion* event, gpointer window) {
  const auto x = static_cast<intptr_t>(event->x);
  const auto y = static_cast<intptr_t>(event->y);
  ktWindow::WindowProc(window, kWmMouseMove, 0, (x & 0xFFFF) | (y & 0xFFFF) << 16);
  return FALSE;
}

// The close box asks; the close message's default handling destroys.
gboolean OnDeleteEvent(GtkWidget* window, GdkEvent*, gpointer) {
  ktWindow::WindowProc(window, kWmClose, 0, 0);
  return TRUE;
}

void OnDestroy(GtkWidget* window, gpointer) {
  g_object_set_data(G_OBJECT(window), kDestroyedKey, GINT_TO_POINTER(1));
  ktWindow::WindowProc(window, kWmDestroy, 0, 0);
}

class ktWindowSystemGtk final : public ktWindowSystem {
 public:
  WindowHandle CreateMainWindow(const char* title, int withMenu) override {
    if (!gdk_display_get_default()) {
      return nullptr;
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    // The object keeps its own reference, so that its handle stays valid
    // after the user closed the window and until the object lets go of it.
    g_object_ref(window);
    gtk_window_set_title(GTK_WINDOW(window), title);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    if (withMenu) {
      gtk_box_pack_start(GTK_BOX(box), NewMenuBar(window), FALSE, FALSE, 0);
    }
    GtkWidget* client = gtk_drawing_area_new();
    gtk_box_pack_start(GTK_BOX(box), client, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(window), box);
    g_object_set_data(G_OBJECT(window), kClientKey, client);
    gtk_widget_set_can_focus(client, TRUE);
    g_signal_connect(client, "draw", G_CALLBACK(OnClientDraw), window);
    gtk_widget_add_events(client, GDK_POINTER_MOTION_MASK);
    g_signal_connect(client, "motion-notify-event", G_CALLBACK(OnClientMotion), window);
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyPress), nullptr);
    g_signal_connect(window, "delete-event", G_CALLBACK(OnDeleteEvent), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(OnDestroy), nullptr);
    return window;
  }

  void ShowMainWindow(WindowHandle window, const char* title, int clientWidth,
                      int clientHeight) override {
    if (IsDestroyed(window)) {
      return;
    }
    gtk_window_set_title(GTK_WINDOW(window), title);
    gtk_widget_set_size_request(ClientArea(window), clientWidth, clientHeight);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_widget_show_all(GTK_WIDGET(window));
    gtk_widget_grab_focus(ClientArea(window));
  }

  void DestroyWindow(WindowHandle window) override {
    if (!IsDestroyed(window)) {
      gtk_widget_destroy(GTK_WIDGET(window));
    }
    g_object_unref(window);
  }

  void SetWindowSlot(WindowHandle window, int32_t slot) override {
    // Stored off by one, so that a window without a slot reads as -1.
    g_object_set_data(AsObject(window), kSlotKey, GINT_TO_POINTER(slot + 1));
  }

  int32_t GetWindowSlot(WindowHandle window) override {
    if (!window) {
      return -1;
    }
    return GPOINTER_TO_INT(g_object_get_data(AsObject(window), kSlotKey)) - 1;
  }

  void CheckMenuRadioItem(WindowHandle window, uint16_t checked) override {
    auto* item =
        static_cast<GtkWidget*>(g_object_get_data(AsObject(window), ItemKey(checked).c_str()));
    if (IsDestroyed(window) || !item || !GTK_IS_CHECK_MENU_ITEM(item)) {
      return;
    }
    g_object_set_data(AsObject(window), kCheckingKey, GINT_TO_POINTER(1));
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), TRUE);
    g_object_set_data(AsObject(window), kCheckingKey, nullptr);
  }

  void SetMenuItemText(WindowHandle window, uint16_t command, const char* text) override {
    auto* item =
        static_cast<GtkWidget*>(g_object_get_data(AsObject(window), ItemKey(command).c_str()));
    if (!IsDestroyed(window) && item) {
      gtk_menu_item_set_label(GTK_MENU_ITEM(item), text);
    }
  }

  intptr_t DefaultWindowProc(WindowHandle window, uint32_t message, uintptr_t, intptr_t) override {
    if (message == kWmClose && !IsDestroyed(window)) {
      gtk_widget_destroy(GTK_WIDGET(window));
    }
    return 0;
  }
};

void PaintNow(GtkWidget* client, cairo_surface_t* surface) {
  GdkWindow* target = gtk_widget_get_window(gtk_widget_get_toplevel(client));
  GtkAllocation area;
  gtk_widget_get_allocation(client, &area);
  cairo_region_t* region = cairo_region_create_rectangle(&area);
  GdkDrawingContext* context = gdk_window_begin_draw_frame(target, region);
  cairo_t* cr = gdk_drawing_context_get_cairo_context(context);
  cairo_translate(cr, area.x, area.y);
  PaintClient(cr, surface);
  gdk_window_end_draw_frame(target, context);
  cairo_region_destroy(region);
}

}  // namespace

ktWindowSystem* PlatformWindowSystem() {
  static ktWindowSystemGtk system;
  return &system;
}

int InitWindowSystem() {
  // Every picture is drawn into an image in memory, so OpenGL is never used;
  // without this GDK still loads the OpenGL driver to choose visuals, which
  // more than doubles the program's resident memory. A user's setting wins.
  g_setenv("GDK_GL", "disable", FALSE);
  // The program has set the locale itself, numbers in the C format.
  gtk_disable_setlocale();
  return gtk_init_check(nullptr, nullptr) ? 1 : 0;
}

int DrainMessages(int* exitCode) {
  while (!IsQuitPosted() && gtk_events_pending()) {
    gtk_main_iteration_do(FALSE);
  }
  return TakeQuitMessage(exitCode);
}

void SetClientSurface(WindowHandle window, cairo_surface_t* surface) {
  if (!window) {
    return;
  }
  if (surface) {
    cairo_surface_reference(surface);
  }
  g_object_set_data_full(AsObject(window), kSurfaceKey, surface,
                         reinterpret_cast<GDestroyNotify>(cairo_surface_destroy));
}

int ClientScale(WindowHandle window) {
  if (!window || IsDestroyed(window)) {
    return 1;
  }
  return gtk_widget_get_scale_factor(ClientArea(window));
}

void InvalidateClient(WindowHandle window) {
  if (!window || IsDestroyed(window)) {
    return;
  }
  GtkWidget* client = ClientArea(window);
  if (!gtk_widget_get_mapped(client)) {
    gtk_widget_queue_draw(client);
    return;
  }
  PaintNow(client, static_cast<cairo_surface_t*>(g_object_get_data(AsObject(window), kSurfaceKey)));
}

void BringToFront(WindowHandle window) {
  if (!window || IsDestroyed(window)) {
    return;
  }
  gtk_window_present(GTK_WINDOW(window));
}

// The picture is an image to assistive technologies; it takes the focus so
// that a screen reader presents it when the window opens.
void SetClientDescription(WindowHandle window, const char* name, const char* description) {
  if (!window || IsDestroyed(window)) {
    return;
  }
  AtkObject* accessible = gtk_widget_get_accessible(ClientArea(window));
  atk_object_set_role(accessible, ATK_ROLE_IMAGE);
  atk_object_set_name(accessible, name);
  atk_object_set_description(accessible, description);
}

int GetClientRect(WindowHandle window, int* x, int* y, int* width, int* height) {
  if (!window || IsDestroyed(window) || !gtk_widget_get_realized(ClientArea(window))) {
    return 0;
  }
  GtkAllocation area;
  gtk_widget_get_allocation(ClientArea(window), &area);
  *x = area.x;
  *y = area.y;
  *width = area.width;
  *height = area.height;
  return 1;
}
