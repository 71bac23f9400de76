#include "shell/mousetoolcommands.h"

#include "shell/inputbinding.h"
#include "shell/toolviewmenu.h"

int CMouseToolCommands::OnCommand(int id) {
  if (!CToolViewMenu::IsValidFlag(CToolViewMenu::kMouseToolEntry, uint32_t(id))) return 0;
  m_binding.SetMouseTool(id);
  m_flags.SetFlag(CToolViewMenu::kMouseToolEntry, uint32_t(id));
  return 1;
}

bool CMouseToolCommands::IsCommandChecked(int id) const { return m_binding.GetMouseTool() == id; }
