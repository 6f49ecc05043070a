#pragma once

#include <gtk/gtk.h>

#include <set>

namespace tumbla {

// Where the keys of the game's window go. While a native panel is shown (a view holding a
// cancel button: the share panel, the login dialog) the keyboard is the panel's: Tab and
// Shift+Tab go round its controls, Return and Space press the focused button, Escape
// presses its cancel button, and no key reaches the page below it. Otherwise every key
// goes to the game's page: the native buttons over the page stay out of the Tab chain so
// that the game keeps its keys, and the keyboard comes back to the page once a panel that
// had it is gone.
class PanelKeyboard {
 public:
  explicit PanelKeyboard(GtkWindow* window);
  ~PanelKeyboard();
  PanelKeyboard(const PanelKeyboard&) = delete;
  PanelKeyboard& operator=(const PanelKeyboard&) = delete;

  // Marks `button` (a view's button widget) as the one Escape presses in the panel its
  // view lies in.
  static void setCancelButton(GtkWidget* button, bool cancels);

  // Delivers each key press of the window (but the window's own keys, F11 and the like):
  // the window's default handling never sees them.
  void handleKeyPress(GdkEventKey* event);
  // Answers whether the release was delivered here, so that the window must skip it.
  bool handleKeyRelease(GdkEventKey* event);

 private:
  // The cancel button of the topmost panel shown; nothing while none is.
  GtkWidget* shownCancelButton() const;
  void deliverToGame(GdkEventKey* event, GtkWidget* focus);
  void rememberGameFocus(GtkWidget* focus);
  void restoreGameFocus();

  GtkWindow* window_;
  // The page's widget that had the keyboard before a panel took it.
  GWeakRef gameFocus_;
  // Keys whose press went to a panel: their release must not reach the page either.
  std::set<guint16> keysTaken_;
};

}  // namespace tumbla
