#include "platform/linux/GtkButtonView.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/Log.h"
#include "platform/linux/GLibPointers.h"
#include "platform/linux/PanelKeyboard.h"

namespace tumbla {

struct GtkButtonView::Signals {
  static void onClicked(GtkButton*, gpointer self) {
    auto& view = *static_cast<GtkButtonView*>(self);
    view.dispatcher_.dispatchTo(view.weak_from_this(), &GtkButtonView::sendAction);
  }
  // A screen of another pixel density: the image is drawn anew for it, in place.
  static void onScaleFactorChanged(GObject*, GParamSpec*, gpointer self) {
    static_cast<GtkButtonView*>(self)->render();
  }
};

namespace {

// The button's content fills its frame: no padding, border or minimum size of the
// toolkit's theme stands between the frame and the image drawn into it.
void fitContentToFrame(GtkWidget* button) {
  GObjectPtr<GtkCssProvider> style(gtk_css_provider_new());
  gtk_css_provider_load_from_data(
      style.get(), "button { padding: 0; border-width: 0; min-width: 0; min-height: 0; }", -1,
      nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(button),
                                 GTK_STYLE_PROVIDER(style.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

// The title in the style's font and colours; the pressed colour follows the button's state,
// which GTK passes on to the label.
void applyTitleStyle(GtkWidget* label, const ButtonTitleStyle& style) {
  PangoFontDescription* font = pango_font_description_from_string(style.fontName.c_str());
  pango_font_description_set_absolute_size(font,
                                           style.fontSize * ViewWidget::scale() * PANGO_SCALE);
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes, pango_attr_font_desc_new(font));
  pango_font_description_free(font);
  gtk_label_set_attributes(GTK_LABEL(label), attributes);
  pango_attr_list_unref(attributes);
  auto css = [](const Color& color) {
    GdkRGBA rgba{color.red, color.green, color.blue, color.alpha};
    GCharPtr text(gdk_rgba_to_string(&rgba));
    return std::string(text.get());
  };
  std::string rules = "label { color: " + css(style.color) +
                      "; } label:active { color: " + css(style.highlightedColor) + "; }";
  GObjectPtr<GtkCssProvider> provider(gtk_css_provider_new());
  gtk_css_provider_load_from_data(provider.get(), rules.c_str(), -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(label),
                                 GTK_STYLE_PROVIDER(provider.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

}  // namespace

GtkButtonView::GtkButtonView(HostDispatcher& dispatcher, Rect frame,
                             std::optional<Image> background, std::string accessibleName)
    : GtkView<Button>(gtk_button_new(), frame, std::move(background), std::move(accessibleName)),
      dispatcher_(dispatcher) {
  GtkWidget* widget = button();
  gtk_button_set_relief(GTK_BUTTON(widget), GTK_RELIEF_NONE);
  fitContentToFrame(widget);
  // Tab reaches a button only inside a shown panel (PanelKeyboard keeps the Tab chain); a
  // click leaves the keyboard where it was, with the game during play.
  gtk_widget_set_can_focus(widget, TRUE);
  gtk_widget_set_focus_on_click(widget, FALSE);
  gtk_widget_set_tooltip_text(widget, this->accessibleName().c_str());
  atk_object_set_name(gtk_widget_get_accessible(widget), this->accessibleName().c_str());
  // The widget lives as long as this view, which owns it through its overlay.
  g_signal_connect(widget, "clicked", G_CALLBACK(Signals::onClicked), this);
  g_signal_connect(widget, "notify::scale-factor", G_CALLBACK(Signals::onScaleFactorChanged), this);
  viewWidget().setScaleListener([this](double) { render(); });
  render();
}

GtkWidget* GtkButtonView::button() const {
  return gtk_bin_get_child(GTK_BIN(const_cast<GtkButtonView*>(this)->viewWidget().widget()));
}

void GtkButtonView::frameChanged() {
  GtkView<Button>::frameChanged();
  render();
}

void GtkButtonView::titleChanged() {
  render();
}

void GtkButtonView::cancelButtonChanged() {
  PanelKeyboard::setCancelButton(button(), isCancelButton());
}

void GtkButtonView::render() {
  GtkWidget* picture = backgroundPicture();
  if (!picture) {
    // Without its image a button shows its title, or nothing: it stays where it is, named
    // and pressable, as an image button whose image is missing does.
    GtkWidget* label = gtk_label_new(title().c_str());
    if (titleStyle()) applyTitleStyle(label, *titleStyle());
    show(label);
    return;
  }
  if (title().empty()) {
    show(picture);
    return;
  }
  // The title lies over the image, centred: in its style, or in white as on the game's
  // own buttons.
  GtkWidget* overlay = gtk_overlay_new();
  gtk_container_add(GTK_CONTAINER(overlay), picture);
  GtkWidget* label = gtk_label_new(nullptr);
  if (titleStyle()) {
    gtk_label_set_text(GTK_LABEL(label), title().c_str());
    applyTitleStyle(label, *titleStyle());
  } else {
    GCharPtr markup(g_markup_printf_escaped(
        "<span foreground=\"white\" weight=\"bold\" font_size=\"%d\">%s</span>",
        static_cast<int>(std::lround(frame().height * ViewWidget::scale() * 0.55 * PANGO_SCALE)),
        title().c_str()));
    gtk_label_set_markup(GTK_LABEL(label), markup.get());
  }
  gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
  gtk_overlay_add_overlay(GTK_OVERLAY(overlay), label);
  // The title is drawn, not touched: a click on it presses the button below.
  gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(overlay), label, TRUE);
  show(overlay);
}

GtkWidget* GtkButtonView::backgroundPicture() const {
  if (!background()) return nullptr;
  // Sharp on a dense screen: drawn at its device pixels, shown at its logical ones.
  int density = gtk_widget_get_scale_factor(button());
  double pixelsPerPoint = ViewWidget::scale() * density;
  auto width = static_cast<int>(std::lround(frame().width * pixelsPerPoint));
  auto height = static_cast<int>(std::lround(frame().height * pixelsPerPoint));
  GErrorSlot error;
  GObjectPtr<GdkPixbuf> pixbuf(gdk_pixbuf_new_from_file_at_scale(
      background()->path.c_str(), std::max(width, 1), std::max(height, 1), FALSE, error.out()));
  if (!pixbuf) {
    logLine("can't show the button image " + background()->path + ": " + error.message());
    return nullptr;
  }
  cairo_surface_t* surface = gdk_cairo_surface_create_from_pixbuf(pixbuf.get(), density, nullptr);
  GtkWidget* picture = gtk_image_new_from_surface(surface);
  cairo_surface_destroy(surface);
  return picture;
}

void GtkButtonView::show(GtkWidget* content) {
  GtkWidget* widget = button();
  if (GtkWidget* shown = gtk_bin_get_child(GTK_BIN(widget))) {
    gtk_container_remove(GTK_CONTAINER(widget), shown);
  }
  gtk_container_add(GTK_CONTAINER(widget), content);
  gtk_widget_show_all(content);
}

}  // namespace tumbla
