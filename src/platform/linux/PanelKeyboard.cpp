#include "platform/linux/PanelKeyboard.h"

#include <algorithm>
#include <vector>

namespace tumbla {

namespace {

constexpr char kCancelsPanelKey[] = "tumbla-cancels-panel";

bool isShown(GtkWidget* widget) {
  return gtk_widget_is_visible(widget) && gtk_widget_is_sensitive(widget);
}

// Later widgets lie above earlier ones, so the last cancel button found wins.
void findCancelButton(GtkWidget* widget, gpointer found) {
  if (!gtk_widget_get_visible(widget)) return;
  if (g_object_get_data(G_OBJECT(widget), kCancelsPanelKey) && isShown(widget)) {
    *static_cast<GtkWidget**>(found) = widget;
  }
  if (GTK_IS_CONTAINER(widget))
    gtk_container_foreach(GTK_CONTAINER(widget), findCancelButton, found);
}

// The controls that take the keyboard, in the order their views were added.
void collectControls(GtkWidget* widget, gpointer chain) {
  if (!isShown(widget)) return;
  if (gtk_widget_get_can_focus(widget)) {
    static_cast<std::vector<GtkWidget*>*>(chain)->push_back(widget);
  } else if (GTK_IS_CONTAINER(widget)) {
    gtk_container_foreach(GTK_CONTAINER(widget), collectControls, chain);
  }
}

std::vector<GtkWidget*> controlsOf(GtkWidget* panel) {
  std::vector<GtkWidget*> chain;
  gtk_container_foreach(GTK_CONTAINER(panel), collectControls, &chain);
  return chain;
}

// The button widget lies in its view's widget, which lies in the panel's.
GtkWidget* panelOf(GtkWidget* cancelButton) {
  return gtk_widget_get_parent(gtk_widget_get_parent(cancelButton));
}

bool isWithin(GtkWidget* widget, GtkWidget* container) {
  return widget && (widget == container || gtk_widget_is_ancestor(widget, container));
}

// The host's own buttons and fields, as opposed to the page that has the keys in play.
bool isNativeControl(GtkWidget* widget) {
  return GTK_IS_BUTTON(widget) || GTK_IS_ENTRY(widget);
}

bool isTab(const GdkEventKey* event) {
  return event->keyval == GDK_KEY_Tab || event->keyval == GDK_KEY_ISO_Left_Tab ||
         event->keyval == GDK_KEY_KP_Tab;
}

bool isActivationKey(const GdkEventKey* event) {
  switch (event->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_ISO_Enter:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
      return true;
    default:
      return false;
  }
}

void moveFocus(GtkWidget* panel, GtkWidget* focus, bool backward) {
  std::vector<GtkWidget*> chain = controlsOf(panel);
  if (chain.empty()) return;
  auto at = std::find_if(chain.begin(), chain.end(),
                         [focus](GtkWidget* control) { return isWithin(focus, control); });
  std::size_t count = chain.size();
  std::size_t next = 0;
  if (at == chain.end()) {
    next = backward ? count - 1 : 0;
  } else {
    auto index = static_cast<std::size_t>(at - chain.begin());
    next = (index + (backward ? count - 1 : 1)) % count;
  }
  gtk_widget_grab_focus(chain[next]);
}

}  // namespace

PanelKeyboard::PanelKeyboard(GtkWindow* window) : window_(window) {
  g_weak_ref_init(&gameFocus_, nullptr);
}

PanelKeyboard::~PanelKeyboard() {
  g_weak_ref_clear(&gameFocus_);
}

void PanelKeyboard::setCancelButton(GtkWidget* button, bool cancels) {
  g_object_set_data(G_OBJECT(button), kCancelsPanelKey, GINT_TO_POINTER(cancels ? 1 : 0));
}

GtkWidget* PanelKeyboard::shownCancelButton() const {
  GtkWidget* found = nullptr;
  gtk_container_foreach(GTK_CONTAINER(window_), findCancelButton, &found);
  return found;
}

void PanelKeyboard::handleKeyPress(GdkEventKey* event) {
  GtkWidget* focus = gtk_window_get_focus(window_);
  GtkWidget* cancel = shownCancelButton();
  if (!cancel) {
    deliverToGame(event, focus);
    return;
  }
  GtkWidget* panel = panelOf(cancel);
  bool focusInPanel = isWithin(focus, panel);
  if (focus && !focusInPanel && !isNativeControl(focus)) rememberGameFocus(focus);
  keysTaken_.insert(event->hardware_keycode);
  if (event->keyval == GDK_KEY_Escape) {
    gtk_widget_activate(cancel);
    return;
  }
  if (isTab(event)) {
    // A control that moves within itself first (the login page between its fields).
    if (focusInPanel && gtk_window_propagate_key_event(window_, event)) return;
    bool backward = event->keyval == GDK_KEY_ISO_Left_Tab || (event->state & GDK_SHIFT_MASK) != 0;
    moveFocus(panel, focus, backward);
    return;
  }
  if (!focusInPanel) moveFocus(panel, nullptr, false);
  // What the focused control leaves is the window's to do, as it would be without a
  // panel, but only its pressing of that control: nothing else of the window's keys.
  if (!gtk_window_propagate_key_event(window_, event) && isActivationKey(event)) {
    GtkWidget* control = gtk_window_get_focus(window_);
    if (isWithin(control, panel)) gtk_widget_activate(control);
  }
}

bool PanelKeyboard::handleKeyRelease(GdkEventKey* event) {
  bool taken = keysTaken_.erase(event->hardware_keycode) > 0;
  GtkWidget* cancel = shownCancelButton();
  // A key whose press went to a panel gone since is released nowhere.
  if (!cancel) return taken;
  GtkWidget* panel = panelOf(cancel);
  if (isWithin(gtk_window_get_focus(window_), panel))
    gtk_window_propagate_key_event(window_, event);
  return true;
}

void PanelKeyboard::deliverToGame(GdkEventKey* event, GtkWidget* focus) {
  if (!focus || isNativeControl(focus)) {
    restoreGameFocus();
  } else {
    rememberGameFocus(focus);
  }
  // What the page leaves unused goes nowhere: the window's own handling of Tab and the
  // arrows would move the keyboard to the buttons over the page.
  gtk_window_propagate_key_event(window_, event);
}

void PanelKeyboard::rememberGameFocus(GtkWidget* focus) {
  g_weak_ref_set(&gameFocus_, focus);
}

void PanelKeyboard::restoreGameFocus() {
  auto* remembered = static_cast<GtkWidget*>(g_weak_ref_get(&gameFocus_));
  GtkWidget* page = remembered;
  if (!page || !isShown(page) || gtk_widget_get_toplevel(page) != GTK_WIDGET(window_)) {
    std::vector<GtkWidget*> controls = controlsOf(GTK_WIDGET(window_));
    auto first = std::find_if(controls.begin(), controls.end(),
                              [](GtkWidget* control) { return !isNativeControl(control); });
    page = first == controls.end() ? nullptr : *first;
  }
  if (page) gtk_widget_grab_focus(page);
  if (remembered) g_object_unref(remembered);
}

}  // namespace tumbla
