#pragma once
// The name a node takes from its path, shared by the naming and disk code.

#include <cstdint>

#include "corekit/mystring.h"

// The last part of path; for a portfolio without its extension. A path
// with no named part ("/") is its own name, so that no node goes nameless.
MyString DefaultNodeName(const MyString& path, int32_t type);
