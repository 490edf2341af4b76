#include "web/token_cookie_filter.h"

#include <webkit2/webkit2.h>

#include <utility>

#include "base/glib_ptr.h"

namespace quorvel {

struct TokenCookieFilter::State {
  GRef<WebKitUserContentManager> manager;
  GRef<WebKitUserContentFilterStore> store;
  std::string identifier;
  std::string rules;
  std::int64_t started = 0;
  std::int64_t waiting = 0;  // since when a page waits for it
  bool ready = false;
  std::function<void()> then;
};

namespace {

using State = TokenCookieFilter::State;
using Owner = WeakOwner<State>;
using FilterPtr = CPtr<WebKitUserContentFilter, webkit_user_content_filter_unref>;

// The URL pattern of a host, as the rules' regular expressions (in JSON) write it.
std::string pattern(const std::string& host) {
  std::string escaped;
  for (char c : host) escaped += c == '.' ? std::string(R"(\\.)") : std::string(1, c);
  return escaped;
}

void finish(const std::shared_ptr<State>& state, FilterPtr filter, const GErrorHolder* error, const char* how) {
  if (filter) {
    webkit_user_content_manager_add_filter(state->manager.get(), filter.get());
  } else {
    g_warning("Other sites' requests to the server may carry its launch token: %s", error ? error->message().c_str() : "");
  }
  g_debug("The launch token's content filter %s in %.1f ms", how, (g_get_monotonic_time() - state->started) / 1000.0);
  state->ready = true;
  auto then = std::exchange(state->then, nullptr);
  if (then) {
    g_debug("A page waited %.1f ms for the content filter", (g_get_monotonic_time() - state->waiting) / 1000.0);
    then();
  }
}

void saved(GObject* store, GAsyncResult* result, gpointer data) {
  const Owner owner = Owner::take(data);
  GErrorHolder error;
  FilterPtr filter(webkit_user_content_filter_store_save_finish(WEBKIT_USER_CONTENT_FILTER_STORE(store), result, error.out()));
  if (auto state = owner.get()) finish(state, std::move(filter), &error, "compiled");
}

void loaded(GObject* store, GAsyncResult* result, gpointer data) {
  const Owner owner = Owner::take(data);
  FilterPtr filter(webkit_user_content_filter_store_load_finish(WEBKIT_USER_CONTENT_FILTER_STORE(store), result, nullptr));
  auto state = owner.get();
  if (!state) return;
  if (filter) return finish(state, std::move(filter), nullptr, "loaded");
  // Not compiled yet for these rules (the first start, or another port).
  CPtr<GBytes, g_bytes_unref> source(g_bytes_new(state->rules.data(), state->rules.size()));
  webkit_user_content_filter_store_save(WEBKIT_USER_CONTENT_FILTER_STORE(store), state->identifier.c_str(), source.get(),
                                        nullptr, saved, owner.data());
}

}  // namespace

std::string tokenCookieRules(const LocalOrigin& origin) {
  const std::string server = pattern(origin.host()) + (origin.port() == 80 ? "" : ":" + std::to_string(origin.port()));
  auto rule = [](const std::string& trigger, const char* action) {
    return R"({"trigger":{)" + trigger + R"(},"action":{"type":")" + action + R"("}})";
  };
  const std::string toServer = R"("url-filter":"^[a-z]+://)" + server + R"(/")";
  // In order, each overriding those before it: no cookie for the loopback address;
  // the server's requests keep theirs; but not those of a frame of another origin;
  // except a new frame's first load, which WebKit reports as about:blank's.
  return "[" + rule(R"("url-filter":"^[a-z]+://)" + pattern(origin.host()) + R"([:/]")", "block-cookies") + "," +
         rule(R"("url-filter":"^[a-z]+://localhost[:/]")", "block-cookies") + "," +
         rule(toServer, "ignore-previous-rules") + "," +
         rule(toServer + R"(,"unless-frame-url":["^)" + origin.scheme() + "://" + server + R"(/","^blob:)" +
                  origin.scheme() + "://" + server + R"(/"])",
              "block-cookies") +
         "," + rule(toServer + R"(,"if-frame-url":["^about:blank$"],"resource-type":["document"])", "ignore-previous-rules") +
         "]";
}

TokenCookieFilter::TokenCookieFilter(WebKitWebView* webView, const LocalOrigin& origin, const std::string& storeDir)
    : state_(std::make_shared<State>()) {
  state_->manager = GRef<WebKitUserContentManager>::retain(webkit_web_view_get_user_content_manager(webView));
  state_->rules = tokenCookieRules(origin);
  // Named after the rules, so that other rules (another port) are compiled anew.
  GCharPtr digest(g_compute_checksum_for_string(G_CHECKSUM_SHA1, state_->rules.c_str(), -1));
  state_->identifier = std::string("launch-token-") + digest.get();
  state_->started = g_get_monotonic_time();
  state_->store = GRef<WebKitUserContentFilterStore>::adopt(webkit_user_content_filter_store_new(storeDir.c_str()));
  webkit_user_content_filter_store_load(state_->store.get(), state_->identifier.c_str(), nullptr, loaded,
                                        Owner(state_).data());
}

TokenCookieFilter::~TokenCookieFilter() = default;

void TokenCookieFilter::whenReady(std::function<void()> then) {
  if (state_->ready) {
    then();
  } else {
    state_->then = std::move(then);
    state_->waiting = g_get_monotonic_time();
  }
}

}  // namespace quorvel
