#pragma once

#include "platform/Button.h"
#include "platform/linux/GtkView.h"

namespace tumbla {

// A GTK button showing its background image scaled to its frame (or its accessible name
// as a label when it has no image). Its accessible name is the one it was made with.
class GtkButtonView : public GtkView<Button> {
 public:
  GtkButtonView(Rect frame, std::optional<Image> background, std::string accessibleName);

 protected:
  void frameChanged() override;

 private:
  GtkWidget* button() const;
  void render();
};

}  // namespace tumbla
