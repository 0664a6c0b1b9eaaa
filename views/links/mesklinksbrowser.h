#pragma once

class CMeskEngine;
class QWidget;

// Writes every stored link of the activated providers as numbered web pages, newest first
// ("1.html", "2.html", ... with a close-button image and one "<id>_logo.png" per provider) into
// the folder "mesk" of the user's cache folder, private to the user, and opens page 1 in the
// desktop's web browser. Each page shows the author, the service, the caption and Newer/Older
// navigation above the linked page in a frame. Links without a known author or provider get
// no page; pages of an earlier run are deleted. Nothing is written or opened when there is no
// link, and nothing when the folder is not a plain folder of the user (a debug message says
// so). When no browser could be started, an error box over the parent says so. Synchronous,
// GUI thread only.
void sMeskShowLinksBrowser(CMeskEngine* engine, QWidget* parent = nullptr);
