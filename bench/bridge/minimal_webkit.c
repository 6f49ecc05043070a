/* The baseline the bridge benchmark holds tumbla against: the least a WebKitGTK program
 * must do to host the same page. One 480x320 window with one web view; every navigation
 * (top frame, iframes, new windows) is seen before it happens, and loads of a "*.prismora"
 * host are refused and counted, which is all its command handler does. When the page has
 * loaded it calls Tumbla.init() and waits for the answer by iterating the main loop.
 *
 * Usage: minimal_webkit PAGE_FILE
 * Prints one JSON object per line on standard output, times in milliseconds since the
 * epoch: {"event":"init-evaluated",...} once the page answered Tumbla.init(), and
 * {"event":"done",...} with the count and first/last times of the ".../bench" commands when
 * the page sends its ".../done" command. Runs until it is terminated. */

#include <gtk/gtk.h>
#include <stdio.h>
#include <string.h>
#include <webkit2/webkit2.h>

typedef struct {
  guint commands;
  gint64 firstCommandMicros;
  gint64 lastCommandMicros;
} CommandCount;

typedef struct {
  gboolean finished;
  gboolean answered;
} Evaluation;

static double millisecondsSinceEpoch(gint64 micros) {
  return (double)micros / 1000.0;
}

static gboolean isCommandHost(const char* host) {
  return host && g_str_has_suffix(host, ".prismora");
}

static void countCommand(CommandCount* count, const char* uri, const char* path) {
  gint64 now = g_get_real_time();
  if (g_strcmp0(path, "/done") == 0) {
    /* The bench page sends only letters, digits and URL punctuation: nothing to escape. */
    printf(
        "{\"event\":\"done\",\"url\":\"%s\",\"time\":%.3f,\"commands\":%u,"
        "\"first\":%.3f,\"last\":%.3f}\n",
        uri, millisecondsSinceEpoch(now), count->commands,
        millisecondsSinceEpoch(count->firstCommandMicros),
        millisecondsSinceEpoch(count->lastCommandMicros));
    fflush(stdout);
    return;
  }
  if (g_strcmp0(path, "/bench") != 0) return;
  if (count->commands++ == 0) count->firstCommandMicros = now;
  count->lastCommandMicros = now;
}

static gboolean onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                               WebKitPolicyDecisionType type, gpointer data) {
  (void)view;
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  GUri* parsed = g_uri_parse(uri, G_URI_FLAGS_NONE, NULL);
  if (!parsed) return FALSE;
  gboolean refuse = isCommandHost(g_uri_get_host(parsed));
  if (refuse) {
    countCommand(data, uri, g_uri_get_path(parsed));
    webkit_policy_decision_ignore(decision);
  }
  g_uri_unref(parsed);
  return refuse;
}

static void onEvaluated(GObject* view, GAsyncResult* result, gpointer data) {
  Evaluation* evaluation = data;
  JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, NULL);
  evaluation->answered = value != NULL;
  evaluation->finished = TRUE;
  if (value) g_object_unref(value);
}

static gboolean evaluateAndWait(WebKitWebView* view, const char* script) {
  Evaluation evaluation = {FALSE, FALSE};
  webkit_web_view_evaluate_javascript(view, script, -1, NULL, NULL, NULL, onEvaluated, &evaluation);
  while (!evaluation.finished) g_main_context_iteration(NULL, TRUE);
  return evaluation.answered;
}

static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
  (void)data;
  if (event != WEBKIT_LOAD_FINISHED) return;
  gboolean answered = evaluateAndWait(view, "Tumbla.init()");
  printf("{\"event\":\"init-evaluated\",\"time\":%.3f,\"answered\":%s}\n",
         millisecondsSinceEpoch(g_get_real_time()), answered ? "true" : "false");
  fflush(stdout);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: minimal_webkit PAGE_FILE\n");
    return 2;
  }
  /* The same engine settings tumbla makes for machines without a GPU, such as Xvfb. */
  g_setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", FALSE);
  g_setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", FALSE);
  gtk_init(&argc, &argv);

  GFile* page = g_file_new_for_commandline_arg(argv[1]);
  char* uri = g_file_get_uri(page);
  g_object_unref(page);

  CommandCount count = {0, 0, 0};
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 480, 320);
  GtkWidget* view = webkit_web_view_new();
  g_signal_connect(view, "decide-policy", G_CALLBACK(onDecidePolicy), &count);
  g_signal_connect(view, "load-changed", G_CALLBACK(onLoadChanged), NULL);
  gtk_container_add(GTK_CONTAINER(window), view);
  gtk_widget_show_all(window);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), uri);
  g_free(uri);
  gtk_main();
  return 0;
}
