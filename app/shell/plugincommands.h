#pragma once
// The plug-in host's side of the command routing: the menu commands that
// plug-ins add, each with what the host runs for it. Ids nobody else knows
// end here; until the host adds commands, none is known and OnCommand
// answers 0. GUI thread only.

#include <functional>
#include <map>

#include "shell/commandrouter.h"

class CPluginCommands : public CCommandTarget {
 public:
  // 0 when the id is taken already or the handler is empty.
  int AddCommand(int id, std::function<void()> handler);
  void RemoveCommand(int id);
  void Clear() { m_commands.clear(); }
  bool HasCommand(int id) const { return m_commands.count(id) != 0; }

  int OnCommand(int id) override;

  // What "Installed Plugins..." in "About" shows; empty until the host sets it.
  void SetInstalledPluginsHandler(std::function<void()> handler) {
    m_installedPlugins = std::move(handler);
  }
  const std::function<void()>& GetInstalledPluginsHandler() const { return m_installedPlugins; }

 private:
  std::map<int, std::function<void()>> m_commands;
  std::function<void()> m_installedPlugins;
};
