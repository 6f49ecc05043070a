#pragma once

#include <memory>

#include "platform/Button.h"
#include "platform/linux/GtkView.h"
#include "platform/linux/HostDispatcher.h"

namespace tumbla {

// A GTK button showing its background image scaled to its frame with its title over it
// (or, when it has no image, its title alone), both drawn at the window's scale in screen
// pixels. Its accessible name is the one it was made with. The pointer presses it anywhere
// inside its frame, the keyboard with Return or Space once a panel's Tab reached it (see
// PanelKeyboard), and assistive tools through its action. A press reaches the host
// through the dispatcher, and not at all once the view is gone; so it is always made
// shared.
class GtkButtonView : public GtkView<Button>, public std::enable_shared_from_this<GtkButtonView> {
 public:
  GtkButtonView(HostDispatcher& dispatcher, Rect frame, std::optional<Image> background,
                std::string accessibleName);

 protected:
  void frameChanged() override;
  void titleChanged() override;
  void cancelButtonChanged() override;

 private:
  // The toolkit's callbacks, with its signatures, live in the .cpp file.
  struct Signals;
  GtkWidget* button() const;
  void render();
  // The background image scaled to the frame on screen; nothing when it can't be read
  // (logged).
  GtkWidget* backgroundPicture() const;
  // Makes `content` the button's one child, in place of what it showed before.
  void show(GtkWidget* content);

  HostDispatcher& dispatcher_;
};

}  // namespace tumbla
