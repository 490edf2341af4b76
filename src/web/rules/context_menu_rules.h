#pragma once
// Which of WebKit's context-menu items an application in one window keeps: the
// editing items, copying a link or an image, media playback, and "Open Link"
// labelled for where the navigation policy will send it; never the browser's
// navigation, new-window or download items. A pure function of what was clicked
// and what WebKit offers for it, so a table can test it. "Open Link" is
// Quorvel's own item, decided in this process: a local page loads in the window,
// a foreign one goes to the desktop, from whichever frame the link is in.

#include <optional>
#include <string>
#include <vector>

#include "web/rules/navigation_rules.h"

namespace quorvel {

// WebKit's stock context-menu actions, with the same values as
// WebKitContextMenuAction (context_menu.cpp checks them), and a separator.
enum class PageMenuAction : int {
  Separator = -1,
  NoAction = 0,
  OpenLink, OpenLinkInNewWindow, DownloadLink, CopyLink, OpenImageInNewWindow, DownloadImage, CopyImage,
  CopyImageAddress, OpenFrameInNewWindow, Back, Forward, Stop, Reload, Copy, Cut, Paste, Delete, SelectAll,
  InputMethods, Unicode, SpellingGuess, NoGuessesFound, IgnoreSpelling, LearnSpelling, IgnoreGrammar, FontMenu,
  Bold, Italic, Underline, Outline, InspectElement, OpenVideoInNewWindow, OpenAudioInNewWindow, CopyVideoLink,
  CopyAudioLink, ToggleMediaControls, ToggleMediaLoop, EnterVideoFullscreen, MediaPlay, MediaPause, MediaMute,
  DownloadVideo, DownloadAudio, InsertEmoji, PasteAsPlainText,
  Custom = 10000,
};

// What was clicked, as far as the menu depends on it beyond what WebKit offers.
struct PageMenuContext {
  OptionalURL link;        // the link's URL, if a link was clicked
  bool inspector = false;  // the web inspector is on for this run
};

struct PageMenuLine {
  PageMenuAction action;
  int offered = -1;   // the index of WebKit's item shown here; -1: a new item
  std::string label;  // a new item's label
};

// The menu to show, in order, from the items WebKit offers: kept items stay in
// their order, "Open Link" takes the place of WebKit's first link item, and
// separators only ever stand between two items. Empty: show no menu at all.
std::vector<PageMenuLine> pageMenu(const PageMenuContext& context, const std::vector<PageMenuAction>& offered,
                                   const LocalOrigin& origin);

}  // namespace quorvel
