#pragma once
// Connects portfolios to the main window: the "Portfolio Manager ..."
// command and the manager's reopening of the portfolio the viewer shows.
// GUI thread.

#include "corekit/mystring.h"

class CMainFrame;

// Makes the main window's portfolio, batch and e-mail commands target (owned by
// the window).
void InstallCollections(CMainFrame* frame);

// Files dropped on the window: one portfolio opens as a portfolio, one other
// file as an image; several are offered as a new portfolio ("Do you want to
// save this files as Lorimo slide ?"), which the viewer then shows; declined,
// the first image opens.
int OpenDroppedFiles(CMainFrame* frame, const MyStringList& paths);

// The Portfolio Manager, empty or on a portfolio, modal over the window.
int OpenPortfolioManager(CMainFrame* frame, const MyString& portfolio);
