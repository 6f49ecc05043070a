#include "platform/linux/GtkActivityIndicatorView.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <string>

#include "platform/linux/GLibPointers.h"

namespace tumbla {

namespace {

// CSS reads its numbers with a decimal point, whatever the player's locale.
std::string cssColor(const Color& color) {
  auto channel = [](double value) { return std::to_string(std::lround(value * 255)); };
  char alpha[32];
  auto written = std::to_chars(std::begin(alpha), std::end(alpha), color.alpha);
  return "rgba(" + channel(color.red) + "," + channel(color.green) + "," + channel(color.blue) +
         "," + std::string(alpha, written.ptr) + ")";
}

}  // namespace

GtkActivityIndicatorView::GtkActivityIndicatorView(Rect frame, const Color& color)
    : GtkView<ActivityIndicator>(gtk_spinner_new(), frame) {
  // The wheel is a picture: touches go to what lies below it.
  viewWidget().setTakesInput(false);
  // The theme's spinner is drawn in the widget's text colour, a little inside a dark
  // rounded square that keeps a light wheel visible on a light page.
  std::string css = "spinner { color: " + cssColor(color) + "; margin: 4px; }";
  viewWidget().setBackground({Color{0, 0, 0, 0.5}, 6, Color{}});
  GObjectPtr<GtkCssProvider> style(gtk_css_provider_new());
  gtk_css_provider_load_from_data(style.get(), css.c_str(), -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(spinner()),
                                 GTK_STYLE_PROVIDER(style.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  animatingChanged();
}

GtkWidget* GtkActivityIndicatorView::spinner() const {
  return gtk_bin_get_child(
      GTK_BIN(const_cast<GtkActivityIndicatorView*>(this)->viewWidget().widget()));
}

void GtkActivityIndicatorView::animatingChanged() {
  if (isAnimating()) {
    gtk_spinner_start(GTK_SPINNER(spinner()));
  } else {
    gtk_spinner_stop(GTK_SPINNER(spinner()));
  }
  hiddenChanged();
}

void GtkActivityIndicatorView::hiddenChanged() {
  // Still, it is not shown at all.
  viewWidget().setHidden(isHidden() || !isAnimating());
}

}  // namespace tumbla
