#pragma once
// The mouse tools of the Tools menu (1070 "Navigate" ... 1076 "Custom"):
// choosing one sets what the left button does over the viewer, checks it in
// the menu and keeps it as the "Tools Option" of the tool-view flags.

#include "shell/commandrouter.h"

class CInputBinding;
class CToolViewMenu;

class CMouseToolCommands : public CCommandTarget {
 public:
  CMouseToolCommands(CInputBinding& binding, CToolViewMenu& flags)
      : m_binding(binding), m_flags(flags) {}

  int OnCommand(int id) override;
  bool IsCommandChecked(int id) const override;

 private:
  CInputBinding& m_binding;
  CToolViewMenu& m_flags;
};
