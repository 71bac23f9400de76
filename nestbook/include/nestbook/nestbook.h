#pragma once
// Where the favorites file lives, and how the library tells the user about
// a failure it cannot report through a result.
#include <functional>

#include "corekit/mystring.h"

MyString NestbookFavoritesPath();

// The program installs a handler that shows the text to the user (a message
// box); without one the text goes to the log. Set it on the GUI thread
// before the tree is used; it may be called from the thread using the tree.
using NestbookMessageFct = std::function<void(const MyString& text)>;
void NestbookSetMessageFct(NestbookMessageFct fct);
void NestbookShowMessage(const MyString& text);
