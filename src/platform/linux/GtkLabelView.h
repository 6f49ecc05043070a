#pragma once

#include "platform/Label.h"
#include "platform/linux/GtkView.h"

namespace tumbla {

// A label: a GtkLabel in the label's font and colour, wrapped to its lines.
class GtkLabelView : public GtkView<Label> {
 public:
  GtkLabelView(Rect frame, std::string text, LabelStyle style);

 protected:
  void textChanged() override;

 private:
  GtkWidget* label() const;
};

}  // namespace tumbla
