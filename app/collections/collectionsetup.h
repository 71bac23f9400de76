#pragma once
// Connects portfolios to the main window: the "Portfolio Manager ..."
// command and the manager's reopening of the portfolio the viewer shows.
// GUI thread.

#include "corekit/mystring.h"

class CMainFrame;

// Makes the main window's portfolio commands target (owned by the window).
void InstallCollections(CMainFrame* frame);

// The Portfolio Manager, empty or on a portfolio, modal over the window.
int OpenPortfolioManager(CMainFrame* frame, const MyString& portfolio);
