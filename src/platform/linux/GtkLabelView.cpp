#include "platform/linux/GtkLabelView.h"

#include <cmath>
#include <string>

namespace tumbla {

namespace {

guint16 channel(double value) {
  return static_cast<guint16>(std::lround(value * 65535.0));
}

}  // namespace

GtkLabelView::GtkLabelView(Rect frame, std::string text, LabelStyle style)
    : GtkView<Label>(gtk_label_new(nullptr), frame, std::move(text), std::move(style)) {
  // Labels leave touches to what lies below them.
  viewWidget().setTakesInput(false);
  GtkWidget* widget = label();
  const LabelStyle& shown = this->style();
  PangoAttrList* attributes = pango_attr_list_new();
  PangoFontDescription* font = pango_font_description_from_string(shown.fontName.c_str());
  pango_font_description_set_absolute_size(font, shown.fontSize * PANGO_SCALE);
  pango_attr_list_insert(attributes, pango_attr_font_desc_new(font));
  pango_font_description_free(font);
  pango_attr_list_insert(attributes, pango_attr_foreground_new(channel(shown.textColor.red),
                                                               channel(shown.textColor.green),
                                                               channel(shown.textColor.blue)));
  pango_attr_list_insert(attributes,
                         pango_attr_foreground_alpha_new(channel(shown.textColor.alpha)));
  gtk_label_set_attributes(GTK_LABEL(widget), attributes);
  pango_attr_list_unref(attributes);
  // One line is cut short at its end; more lines wrap at words.
  if (shown.lines != 1) {
    gtk_label_set_line_wrap(GTK_LABEL(widget), TRUE);
    gtk_label_set_lines(GTK_LABEL(widget), shown.lines > 0 ? shown.lines : -1);
  }
  gtk_label_set_ellipsize(GTK_LABEL(widget), PANGO_ELLIPSIZE_END);
  gtk_label_set_xalign(GTK_LABEL(widget), 0);
  textChanged();
}

GtkWidget* GtkLabelView::label() const {
  return gtk_bin_get_child(GTK_BIN(const_cast<GtkLabelView*>(this)->viewWidget().widget()));
}

void GtkLabelView::textChanged() {
  gtk_label_set_text(GTK_LABEL(label()), text().c_str());
}

}  // namespace tumbla
