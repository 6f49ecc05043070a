#pragma once

#include "platform/TextField.h"
#include "platform/linux/GtkView.h"

namespace tumbla {

// A text field: a GtkEntry whose accessible name is the field's, with a clear icon shown
// while it holds text.
class GtkTextFieldView : public GtkView<TextField> {
 public:
  GtkTextFieldView(Rect frame, std::string accessibleName);

  std::string text() const override;
  void setText(const std::string& text) override;
  void resignFirstResponder() override;

 private:
  GtkWidget* entry() const;
};

}  // namespace tumbla
