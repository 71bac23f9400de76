#pragma once
// The e-mail commands of the main window: "Email" (3082) adds the shown
// image to the e-mail dialog, and the "Email" mouse tool (3084) makes clicks
// on thumbnails add their files. At start the folders of earlier sends are
// removed. GUI thread.

class CDlgMail;
class CMainFrame;

// Makes the window's e-mail commands target (owned by the window).
void InstallMailCommands(CMainFrame* frame);

// The window's e-mail dialog, or null before it was first opened.
CDlgMail* MailDialog(CMainFrame* frame);
