#pragma once

#include "platform/Button.h"
#include "platform/linux/GtkView.h"

namespace tumbla {

// A GTK button showing its background image scaled to its frame with its title over it
// (or, when it has no image, a label with its title or else its accessible name). Its
// accessible name is the one it was made with.
class GtkButtonView : public GtkView<Button> {
 public:
  GtkButtonView(Rect frame, std::optional<Image> background, std::string accessibleName);

 protected:
  void frameChanged() override;
  void titleChanged() override;

 private:
  GtkWidget* button() const;
  void render();
  // The background image scaled to the frame; nothing when it can't be read (logged).
  GtkWidget* backgroundPicture() const;
  // Makes `content` the button's one child, in place of what it showed before.
  void show(GtkWidget* content);
};

}  // namespace tumbla
