#pragma once

#include <memory>

#include "platform/TextField.h"
#include "platform/linux/GLibPointers.h"
#include "platform/linux/GtkView.h"
#include "platform/linux/HostDispatcher.h"

namespace tumbla {

// A text field: a GtkEntry whose accessible name is the field's, with a clear icon shown
// while it holds text, its text sized to the field's height at the window's scale. Return reaches
// the host through the dispatcher, and not at all once the view is gone; so it is always made
// shared.
class GtkTextFieldView : public GtkView<TextField>,
                         public std::enable_shared_from_this<GtkTextFieldView> {
 public:
  GtkTextFieldView(HostDispatcher& dispatcher, Rect frame, std::string accessibleName);

  std::string text() const override;
  void setText(const std::string& text) override;
  void resignFirstResponder() override;

 protected:
  void frameChanged() override;

 private:
  // The toolkit's callbacks, with its signatures, live in the .cpp file.
  struct Signals;
  GtkWidget* entry() const;
  void applyFontSize();

  HostDispatcher& dispatcher_;
  GObjectPtr<GtkCssProvider> fontSize_;
};

}  // namespace tumbla
