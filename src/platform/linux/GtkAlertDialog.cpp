#include "platform/linux/GtkAlertDialog.h"

#include <memory>
#include <utility>

#include "platform/linux/GtkAlertBackdrop.h"

namespace tumbla {

namespace {

struct ShownDialog {
  HostDispatcher& dispatcher;
  GtkWidget* dialog = nullptr;
  std::optional<int> cancelButtonIndex;
  AlertAnswer answer;

  void close() {
    if (GtkWidget* widget = std::exchange(dialog, nullptr)) gtk_widget_destroy(widget);
  }
};

void onResponse(GtkDialog*, gint response, gpointer data) {
  auto shown = *static_cast<std::shared_ptr<ShownDialog>*>(data);
  // Escape and the window's close answer as the cancel button; an alert without one
  // stays until a button answers it, for its asker waits for the answer.
  std::optional<int> index =
      response >= 0 ? std::optional<int>(response) : shown->cancelButtonIndex;
  if (!index) return;
  shown->close();
  // The answer stays the subscription's to take back until the host takes it.
  shown->dispatcher.dispatch([shown, button = *index] {
    if (AlertAnswer answer = std::exchange(shown->answer, nullptr)) answer(button);
  });
}

void releaseShown(gpointer data, GClosure*) {
  delete static_cast<std::shared_ptr<ShownDialog>*>(data);
}

}  // namespace

Subscription GtkAlertDialog::show(HostDispatcher& dispatcher, GtkWindow* parent, Alert alert,
                                  AlertAnswer answer) {
  auto shown = std::make_shared<ShownDialog>(ShownDialog{dispatcher});
  shown->cancelButtonIndex = alert.cancelButtonIndex;
  shown->answer = std::move(answer);
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_OTHER,
                             GTK_BUTTONS_NONE, "%s", alert.title.c_str());
  if (!alert.message.empty()) {
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                             alert.message.c_str());
  }
  gtk_window_set_title(GTK_WINDOW(dialog), alert.title.c_str());
  // While it is up, the game's window takes neither keys nor clicks.
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  for (std::size_t index = 0; index < alert.buttons.size(); ++index) {
    GtkWidget* button = gtk_dialog_add_button(GTK_DIALOG(dialog), alert.buttons[index].c_str(),
                                              static_cast<gint>(index));
    // Labels are shown as given: an underscore is not a mnemonic.
    gtk_button_set_use_underline(GTK_BUTTON(button), FALSE);
  }
  if (alert.backdrop) GtkAlertBackdrop::attach(GTK_DIALOG(dialog), *alert.backdrop);
  g_signal_connect_data(dialog, "response", G_CALLBACK(onResponse),
                        new std::shared_ptr<ShownDialog>(shown), releaseShown, GConnectFlags{});
  shown->dialog = dialog;
  gtk_widget_show_all(dialog);
  return Subscription([weakShown = std::weak_ptr(shown)] {
    if (auto held = weakShown.lock()) {
      held->close();
      held->answer = nullptr;
    }
  });
}

}  // namespace tumbla
