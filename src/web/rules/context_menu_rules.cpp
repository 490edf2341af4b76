#include "web/rules/context_menu_rules.h"

#include <glib.h>

#include <algorithm>

#include "base/glib_ptr.h"

namespace quorvel {
namespace {

using Action = PageMenuAction;

bool isLinkItem(Action action) {
  return action == Action::OpenLink || action == Action::OpenLinkInNewWindow || action == Action::DownloadLink ||
         action == Action::CopyLink;
}

// Editing, spelling, copying what was clicked, and media playback. Not kept: the
// browser's navigation, anything that opens a window or downloads, addresses of
// images and media (local ones only open with the launch token), and items
// nothing here knows.
bool kept(Action action, bool inspector) {
  switch (action) {
    case Action::CopyLink: case Action::CopyImage: case Action::Copy: case Action::Cut: case Action::Paste:
    case Action::PasteAsPlainText: case Action::Delete: case Action::SelectAll: case Action::InputMethods:
    case Action::Unicode: case Action::SpellingGuess: case Action::NoGuessesFound: case Action::IgnoreSpelling:
    case Action::LearnSpelling: case Action::IgnoreGrammar: case Action::FontMenu: case Action::Bold:
    case Action::Italic: case Action::Underline: case Action::Outline: case Action::InsertEmoji:
    case Action::ToggleMediaControls: case Action::ToggleMediaLoop: case Action::EnterVideoFullscreen:
    case Action::MediaPlay: case Action::MediaPause: case Action::MediaMute:
      return true;
    case Action::InspectElement:
      return inspector;
    default:
      return false;
  }
}

// Where "Open Link" sends it, as a click by the user would; none where it would do nothing.
std::string openLinkLabel(const std::string& url, const LocalOrigin& origin) {
  switch (decideNewWindow(url, origin, true)) {
    case NewWindow::LoadHere: return "Open Link";
    case NewWindow::Nothing: return {};
    case NewWindow::HandToDesktop: break;
  }
  // Web pages go to the browser; other schemes (mail, ...) to their own program.
  UriPtr uri = parsePageURL(url);
  const char* scheme = uri ? g_uri_get_scheme(uri.get()) : nullptr;
  bool web = g_strcmp0(scheme, "http") == 0 || g_strcmp0(scheme, "https") == 0;
  return web ? "Open Link in Browser" : "Open Link";
}

}  // namespace

std::vector<PageMenuLine> pageMenu(const PageMenuContext& context, const std::vector<PageMenuAction>& offered,
                                   const LocalOrigin& origin) {
  std::vector<PageMenuLine> lines;
  auto add = [&lines](PageMenuLine line) {
    // A separator only between two items: never first, never two in a row.
    if (line.action == Action::Separator && (lines.empty() || lines.back().action == Action::Separator)) return;
    lines.push_back(std::move(line));
  };
  const std::string linkLabel = context.link ? openLinkLabel(*context.link, origin) : "";
  bool linkPlaced = linkLabel.empty();
  auto placeLink = [&] {
    if (!linkPlaced) add({Action::OpenLink, -1, linkLabel});
    linkPlaced = true;
  };
  if (std::none_of(offered.begin(), offered.end(), isLinkItem)) placeLink();
  for (int i = 0; i < static_cast<int>(offered.size()); ++i) {
    Action action = offered[i];
    if (isLinkItem(action)) placeLink();
    if (action == Action::Separator || kept(action, context.inspector)) add({action, i, {}});
  }
  if (!lines.empty() && lines.back().action == Action::Separator) lines.pop_back();
  return lines;
}

}  // namespace quorvel
