#pragma once
// Files dropped from outside: several images on the viewer (or the startup
// screen) become a portfolio when the user wants one; one portfolio file
// opens as a portfolio; files dropped on a portfolio of the favorites are
// appended to its file. The file work is here, without windows.

#include <vector>

#include "corekit/mystring.h"

// Whether the file's extension is one of the supported image extensions
// (letter case ignored).
bool IsSupportedImagePath(const MyString& path);

// The dropped files that are images, in drop order (folders left out).
std::vector<MyString> SupportedImages(const std::vector<MyString>& dropped);

// Saves images as a new portfolio, each with delay 0. 1 on success; 0 with
// the reason in *error.
int SaveImagesAsPortfolio(const std::vector<MyString>& images, const MyString& portfolio,
                          MyString* error = nullptr);

// Appends the dropped images to the portfolio file: "File<n>" = the path and
// "Time<n>" = 0 from n = "HowMany" on (a negative count taken as 0), then
// "HowMany" = n. Folders and files that are not images are not appended.
// Returns how many were appended; -1 when the file could not be written
// (the reason in *error, the file as it was).
int AppendToPortfolio(const MyString& portfolio, const std::vector<MyString>& dropped,
                      MyString* error = nullptr);
