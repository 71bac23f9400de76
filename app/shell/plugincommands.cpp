#include "shell/plugincommands.h"

int CPluginCommands::AddCommand(int id, std::function<void()> handler) {
  if (!handler || m_commands.count(id)) return 0;
  m_commands.emplace(id, std::move(handler));
  return 1;
}

void CPluginCommands::RemoveCommand(int id) { m_commands.erase(id); }

int CPluginCommands::OnCommand(int id) {
  const auto found = m_commands.find(id);
  if (found == m_commands.end()) return 0;
  // A copy: the handler may remove its own command.
  const std::function<void()> handler = found->second;
  handler();
  return 1;
}
