#include "platform/linux/GtkTextFieldView.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tumbla {

struct GtkTextFieldView::Signals {
  static void onActivate(GtkEntry*, gpointer self) {
    auto& field = *static_cast<GtkTextFieldView*>(self);
    field.dispatcher_.dispatchTo(field.weak_from_this(), &GtkTextFieldView::pressReturn);
  }
};

namespace {

void onIconPress(GtkEntry* entry, GtkEntryIconPosition, GdkEvent*, gpointer) {
  gtk_entry_set_text(entry, "");
}

void onChanged(GtkEditable* editable, gpointer) {
  GtkEntry* entry = GTK_ENTRY(editable);
  bool empty = gtk_entry_get_text_length(entry) == 0;
  gtk_entry_set_icon_from_icon_name(entry, GTK_ENTRY_ICON_SECONDARY,
                                    empty ? nullptr : "edit-clear-symbolic");
}

}  // namespace

GtkTextFieldView::GtkTextFieldView(HostDispatcher& dispatcher, Rect frame,
                                   std::string accessibleName)
    : GtkView<TextField>(gtk_entry_new(), frame, std::move(accessibleName)),
      dispatcher_(dispatcher),
      fontSize_(gtk_css_provider_new()) {
  GtkWidget* widget = entry();
  atk_object_set_name(gtk_widget_get_accessible(widget), this->accessibleName().c_str());
  gtk_entry_set_placeholder_text(GTK_ENTRY(widget), "");
  gtk_entry_set_icon_tooltip_text(GTK_ENTRY(widget), GTK_ENTRY_ICON_SECONDARY, "Clear");
  // The widget lives as long as this view, which owns it through its overlay.
  g_signal_connect(widget, "activate", G_CALLBACK(Signals::onActivate), this);
  g_signal_connect(widget, "icon-press", G_CALLBACK(onIconPress), nullptr);
  g_signal_connect(widget, "changed", G_CALLBACK(onChanged), nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                 GTK_STYLE_PROVIDER(fontSize_.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  viewWidget().setScaleListener([this](double) { applyFontSize(); });
  applyFontSize();
}

void GtkTextFieldView::frameChanged() {
  GtkView<TextField>::frameChanged();
  applyFontSize();
}

void GtkTextFieldView::applyFontSize() {
  // Half the field's height, in screen pixels: the text grows with the page around it.
  long pixels = std::max(1L, std::lround(frame().height * 0.5 * ViewWidget::scale()));
  std::string css = "entry { font-size: " + std::to_string(pixels) + "px; }";
  gtk_css_provider_load_from_data(fontSize_.get(), css.c_str(), -1, nullptr);
}

GtkWidget* GtkTextFieldView::entry() const {
  return gtk_bin_get_child(GTK_BIN(const_cast<GtkTextFieldView*>(this)->viewWidget().widget()));
}

std::string GtkTextFieldView::text() const {
  return gtk_entry_get_text(GTK_ENTRY(entry()));
}

void GtkTextFieldView::setText(const std::string& text) {
  gtk_entry_set_text(GTK_ENTRY(entry()), text.c_str());
}

void GtkTextFieldView::resignFirstResponder() {
  GtkWidget* toplevel = gtk_widget_get_toplevel(entry());
  if (GTK_IS_WINDOW(toplevel) && gtk_widget_has_focus(entry())) {
    // The keyboard goes back to the first widget that takes it: the game's page.
    gtk_window_set_focus(GTK_WINDOW(toplevel), nullptr);
    gtk_widget_child_focus(toplevel, GTK_DIR_TAB_FORWARD);
  }
}

}  // namespace tumbla
