#include "platform/linux/WebKitView.h"

#include "platform/UrlLoading.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/Log.h"
#include "platform/linux/GLibPointers.h"

namespace tumbla {

struct WebKitView::Signals {
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self);
  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                               gpointer self);
  static void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* message,
                              gpointer self);
  static void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                     gpointer self);
  static gboolean onInspectorAttach(WebKitWebInspector* inspector, gpointer);
  static gboolean onInspectorDetachDue(gpointer inspector);
};

namespace {

constexpr const char* kMessageHandler = "tumbla";

// Without a GPU the engine's DMA-BUF renderer and accelerated compositing leave parts of
// the page unpainted under plain X servers such as Xvfb (seen with WebKitGTK 2.50); the
// software path paints everything. A value the user set wins.
void prepareEngineEnvironment() {
  static const bool prepared = [] {
    g_setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", FALSE);
    g_setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", FALSE);
    return true;
  }();
  (void)prepared;
}

// The page keeps no storage of its own, so the engine keeps none either: by default it
// would write its caches and databases into $XDG_DATA_HOME/<program>, which is the
// documents directory, and share them between players with different data directories.
WebKitWebContext* sharedEphemeralContext() {
  static WebKitWebContext* context = webkit_web_context_new_ephemeral();
  return context;
}

GtkWidget* makeEngine() {
  prepareEngineEnvironment();
  GtkWidget* engine = webkit_web_view_new_with_context(sharedEphemeralContext());
  WebKitSettings* settings = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(engine));
  // The page is a local file that reads its own neighbouring files. Its commands are
  // frame loads, which need no wider access: it gets none to other origins.
  webkit_settings_set_allow_file_access_from_file_urls(settings, TRUE);
  // Without this the engine drops `window.open()` outside a click before asking anyone,
  // and the host would never see that load.
  webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
  return engine;
}

NavigationType navigationType(WebKitNavigationType type) {
  switch (type) {
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED:
      return NavigationType::LinkClicked;
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED:
      return NavigationType::FormSubmitted;
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD:
      return NavigationType::BackForward;
    case WEBKIT_NAVIGATION_TYPE_RELOAD:
      return NavigationType::Reload;
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED:
      return NavigationType::FormResubmitted;
    case WEBKIT_NAVIGATION_TYPE_OTHER:
      return NavigationType::Other;
  }
  return NavigationType::Other;
}

// One evaluation's outcome. It lives on the heap, shared with the engine's callback, so
// that an answer arriving after the caller gave up lands somewhere valid.
struct ScriptEvaluation {
  bool finished = false;
  std::optional<std::string> result;
  std::string failure;
};

// A script's result as text: strings as they are, other values as the page's
// `String(value)` would give them, undefined and null as the empty string.
std::string resultText(JSCValue* value) {
  if (jsc_value_is_undefined(value) || jsc_value_is_null(value)) return {};
  GCharPtr text(jsc_value_to_string(value));
  return text ? text.get() : "";
}

void onScriptEvaluated(GObject* engine, GAsyncResult* asyncResult, gpointer data) {
  std::unique_ptr<std::shared_ptr<ScriptEvaluation>> evaluation(
      static_cast<std::shared_ptr<ScriptEvaluation>*>(data));
  GErrorSlot error;
  GObjectPtr<JSCValue> value(webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(engine),
                                                                        asyncResult, error.out()));
  (*evaluation)->finished = true;
  if (value) {
    (*evaluation)->result = resultText(value.get());
  } else {
    // A thrown exception ("<page>:<line>:<column>: <message>"), a result the engine can't
    // pass back, or a cancelled wait.
    (*evaluation)->failure = error.message();
  }
}

// The texts of a message to the host: its lines. A page posts the commands of one task as
// one message, a line each, since every message costs the engine far more than the host's
// handling of a command; a URL never holds a raw line feed. Anything but a text is left
// out, with a line in the log.
std::vector<std::string> messageTexts(JSCValue* value) {
  std::vector<std::string> texts;
  if (!jsc_value_is_string(value)) {
    logLine("ignored a message to the host that is not a text");
    return texts;
  }
  std::string text = resultText(value);
  std::string_view rest = text;
  while (!rest.empty()) {
    std::size_t end = std::min(rest.find('\n'), rest.size());
    if (end > 0) texts.emplace_back(rest.substr(0, end));
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return texts;
}

gboolean markDeadlinePassed(gpointer passed) {
  *static_cast<bool*>(passed) = true;
  return G_SOURCE_REMOVE;
}

}  // namespace

WebKitView::WebKitView(HostDispatcher& dispatcher, Rect frame, double scriptTimeoutSeconds)
    : GtkView<WebView>(makeEngine(), frame),
      dispatcher_(dispatcher),
      engine_(WEBKIT_WEB_VIEW(g_object_ref(gtk_bin_get_child(GTK_BIN(viewWidget().widget()))))),
      scriptTimeoutSeconds_(scriptTimeoutSeconds) {
  g_signal_connect(engine_.get(), "decide-policy", G_CALLBACK(Signals::onDecidePolicy), this);
  g_signal_connect(engine_.get(), "create", G_CALLBACK(Signals::onCreate), this);
  g_signal_connect(engine_.get(), "load-changed", G_CALLBACK(Signals::onLoadChanged), this);
  g_signal_connect(engine_.get(), "load-failed", G_CALLBACK(Signals::onLoadFailed), this);
  g_signal_connect(engine_.get(), "web-process-terminated",
                   G_CALLBACK(Signals::onWebProcessTerminated), this);
  // Connected before the handler exists, so that no message can come unheard.
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(engine_.get());
  g_signal_connect(content, (std::string("script-message-received::") + kMessageHandler).c_str(),
                   G_CALLBACK(Signals::onScriptMessage), this);
  webkit_user_content_manager_register_script_message_handler(content, kMessageHandler);
  // The engine lays the page out in the views' points and draws it at the window's scale,
  // so text and shapes stay sharp at any window size.
  webkit_web_view_set_zoom_level(engine_.get(), ViewWidget::scale());
  viewWidget().setScaleListener(
      [engine = engine_.get()](double scale) { webkit_web_view_set_zoom_level(engine, scale); });
}

WebKitView::~WebKitView() {
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(engine_.get());
  webkit_user_content_manager_unregister_script_message_handler(content, kMessageHandler);
  g_signal_handlers_disconnect_by_data(content, this);
  g_signal_handlers_disconnect_by_data(engine_.get(), this);
}

void WebKitView::loadURL(const Url& url) {
  requestedURI_ = url.absoluteString();
  webkit_web_view_load_uri(engine_.get(), requestedURI_.c_str());
}

Result<std::string> WebKitView::evaluateScript(std::string_view script, ScriptKind kind) {
  double limit = scriptTimeoutSeconds_ * (kind == ScriptKind::StartUp ? kStartUpTimeFactor : 1);
  HostDispatcher::Busy waiting = dispatcher_.waitForScript();
  auto evaluation = std::make_shared<ScriptEvaluation>();
  GObjectPtr<GCancellable> cancellable(g_cancellable_new());
  webkit_web_view_evaluate_javascript(
      engine_.get(), script.data(), static_cast<gssize>(script.size()), nullptr, nullptr,
      cancellable.get(), onScriptEvaluated, new std::shared_ptr<ScriptEvaluation>(evaluation));

  bool deadlinePassed = false;
  auto milliseconds = static_cast<guint>(std::llround(limit * 1000));
  guint deadline = g_timeout_add_full(G_PRIORITY_HIGH, milliseconds, markDeadlinePassed,
                                      &deadlinePassed, nullptr);
  while (!evaluation->finished && !deadlinePassed) g_main_context_iteration(nullptr, TRUE);
  if (!deadlinePassed) g_source_remove(deadline);

  if (evaluation->finished) {
    if (evaluation->result) return *evaluation->result;
    return Failure{evaluation->failure};
  }
  g_cancellable_cancel(cancellable.get());
  char seconds[32];
  auto written = std::to_chars(seconds, seconds + sizeof seconds, limit);
  std::string missed =
      "the script did not answer within " + std::string(seconds, written.ptr) + " s";
  logLine(missed + "; restarting the page's web process");
  // The delegate hears of it through the termination signal.
  webkit_web_view_terminate_web_process(engine_.get());
  return Failure{missed};
}

void WebKitView::showDeveloperTools() {
  webkit_settings_set_enable_developer_extras(webkit_web_view_get_settings(engine_.get()), TRUE);
  WebKitWebInspector* inspector = webkit_web_view_get_inspector(engine_.get());
  // Beside the game, never over it: the engine docks its tools into a web view large
  // enough for them, as a window fitted to the screen is.
  g_signal_connect(inspector, "attach", G_CALLBACK(Signals::onInspectorAttach), nullptr);
  webkit_web_inspector_show(inspector);
}

gboolean WebKitView::Signals::onInspectorAttach(WebKitWebInspector* inspector, gpointer) {
  // Docked as the engine likes, then at once sent to a window of their own. The inspector
  // is kept until then.
  g_idle_add(onInspectorDetachDue, g_object_ref(inspector));
  return FALSE;
}

gboolean WebKitView::Signals::onInspectorDetachDue(gpointer inspector) {
  webkit_web_inspector_detach(WEBKIT_WEB_INSPECTOR(inspector));
  g_object_unref(inspector);
  return G_SOURCE_REMOVE;
}

WebKitView::LoadRequest WebKitView::describe(WebKitNavigationAction* action) {
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  return {uri ? uri : "", navigationType(webkit_navigation_action_get_navigation_type(action))};
}

bool WebKitView::delegateAllows(const LoadRequest& request) {
  if (!delegate()) return true;
  std::optional<Url> url = Url::parse(request.uri);
  if (!url) {
    logLine("refused a load of something that is not a URL: " + request.uri);
    return false;
  }
  return askDelegate(*url, request.type);
}

void WebKitView::whenFree(std::function<void(WebKitView&)> body) {
  dispatcher_.dispatch([view = weak_from_this(), body = std::move(body)] {
    if (auto alive = view.lock()) body(*alive);
  });
}

gboolean WebKitView::Signals::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                             WebKitPolicyDecisionType type, gpointer self) {
  // Frame loads of schemes the engine has no handler for ("tumbla://...") come here too,
  // before the engine looks for one, so no scheme handler needs registering.
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  LoadRequest request = describe(action);
  auto* view = static_cast<WebKitView*>(self);
  bool newWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;
  // The engine waits for a decision we keep; one never made counts as refused.
  std::shared_ptr<WebKitPolicyDecision> held(WEBKIT_POLICY_DECISION(g_object_ref(decision)),
                                             [](WebKitPolicyDecision* pending) {
                                               webkit_policy_decision_ignore(pending);
                                               g_object_unref(pending);
                                             });
  view->whenFree([held, request, newWindow](WebKitView& shown) {
    if (newWindow) {
      shown.decideNewWindow(request);
    } else if (shown.delegateAllows(request)) {
      webkit_policy_decision_use(held.get());
    }
  });
  return TRUE;
}

GtkWidget* WebKitView::Signals::onCreate(WebKitWebView*, WebKitNavigationAction* action,
                                         gpointer self) {
  // `window.open()` reaches only this signal, never a policy decision.
  LoadRequest request = describe(action);
  static_cast<WebKitView*>(self)->whenFree(
      [request](WebKitView& view) { view.decideNewWindow(request); });
  return nullptr;
}

void WebKitView::decideNewWindow(const LoadRequest& request) {
  // There is one view and it holds the game: loading the window's address here would
  // replace the page (and with it every later script and the save at the end).
  if (delegateAllows(request)) {
    logLine("refused to open " + request.uri +
            " in a new window: it has no host to open outside, and the game page stays");
  }
}

void WebKitView::Signals::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  auto* view = static_cast<WebKitView*>(self);
  if (event == WEBKIT_LOAD_STARTED) view->mainLoadFailed_ = false;
  // A failed load also ends with "finished"; its delegate heard of the failure instead.
  if (event != WEBKIT_LOAD_FINISHED || view->mainLoadFailed_) return;
  view->whenFree([](WebKitView& loaded) {
    if (WebViewDelegate* listener = loaded.delegate()) listener->didFinishLoad(loaded);
    // After the start-up scripts: the layout and painting it causes would make them wait.
    loaded.resendSize();
  });
}

gboolean WebKitView::Signals::onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                           gpointer self) {
  auto* view = static_cast<WebKitView*>(self);
  view->mainLoadFailed_ = true;
  Error failure{g_quark_to_string(error->domain), error->code, error->message, nullptr};
  view->whenFree([failure](WebKitView& failed) {
    if (WebViewDelegate* listener = failed.delegate()) listener->didFailLoad(failed, failure);
  });
  // No engine error page: it would be a load of its own, finishing as if the page had.
  return TRUE;
}

void WebKitView::Signals::onScriptMessage(WebKitUserContentManager*,
                                          WebKitJavascriptResult* message, gpointer self) {
  std::vector<std::string> texts = messageTexts(webkit_javascript_result_get_js_value(message));
  if (texts.empty()) return;
  // One dispatch for the whole batch: its texts arrive together and in order.
  static_cast<WebKitView*>(self)->whenFree([texts = std::move(texts)](WebKitView& view) {
    for (const std::string& text : texts) {
      // A delegate call may end with the view's delegate gone (a reload, the end).
      WebViewDelegate* listener = view.delegate();
      if (!listener) return;
      listener->didReceiveMessage(view, text);
    }
  });
}

void WebKitView::Signals::onWebProcessTerminated(WebKitWebView*,
                                                 WebKitWebProcessTerminationReason reason,
                                                 gpointer self) {
  // Ending it on purpose (a script that never answered) was logged where it happened.
  if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API) {
    logLine(reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT
                ? "the page's web process ran out of memory"
                : "the page's web process crashed");
  }
  static_cast<WebKitView*>(self)->whenFree([](WebKitView& view) {
    if (WebViewDelegate* listener = view.delegate()) listener->webProcessDidEnd(view);
  });
}

void WebKitView::reload() {
  // A page whose web process ended before its first load was committed has nothing to
  // reload: it is loaded again from where it was asked for.
  WebKitBackForwardList* history = webkit_web_view_get_back_forward_list(engine_.get());
  if (webkit_back_forward_list_get_current_item(history) == nullptr && !requestedURI_.empty()) {
    webkit_web_view_load_uri(engine_.get(), requestedURI_.c_str());
  } else {
    webkit_web_view_reload(engine_.get());
  }
}

void WebKitView::resendSize() {
  GtkWidget* widget = GTK_WIDGET(engine_.get());
  if (!gtk_widget_get_mapped(widget)) return;
  GtkAllocation shown;
  gtk_widget_get_allocation(widget, &shown);
  if (shown.height < 2) return;
  GtkAllocation nudged = shown;
  --nudged.height;
  gtk_widget_size_allocate(widget, &nudged);
  gtk_widget_size_allocate(widget, &shown);
}

namespace {

struct CookieDeletion {
  std::string host;
};

void removeFetchedCookies(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<CookieDeletion> deletion(static_cast<CookieDeletion*>(data));
  auto* manager = WEBKIT_WEBSITE_DATA_MANAGER(source);
  GList* records = webkit_website_data_manager_fetch_finish(manager, result, nullptr);
  GList* matching = nullptr;
  for (GList* item = records; item != nullptr; item = item->next) {
    auto* record = static_cast<WebKitWebsiteData*>(item->data);
    // Records are named by the cookies' domain, without a leading dot.
    if (cookieDomainMatches(webkit_website_data_get_name(record), deletion->host)) {
      matching = g_list_prepend(matching, record);
    }
  }
  if (matching != nullptr) {
    webkit_website_data_manager_remove(manager, WEBKIT_WEBSITE_DATA_COOKIES, matching, nullptr,
                                       nullptr, nullptr);
  }
  g_list_free(matching);
  g_list_free_full(records, reinterpret_cast<GDestroyNotify>(webkit_website_data_unref));
}

}  // namespace

void WebKitView::deleteCookiesForHost(std::string_view host) {
  WebKitWebsiteDataManager* manager =
      webkit_web_context_get_website_data_manager(sharedEphemeralContext());
  webkit_website_data_manager_fetch(manager, WEBKIT_WEBSITE_DATA_COOKIES, nullptr,
                                    removeFetchedCookies, new CookieDeletion{std::string(host)});
}

}  // namespace tumbla
