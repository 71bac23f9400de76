#pragma once
// "Keyboard and Mouse Mappings": the list of input events with the action
// each runs, a drop-down over the action cell to choose another, "Load" (a
// keyboard-map file, or a preset from its arrow), "Save As", OK and Cancel.
// It edits a CInputMapping; only OK changes what the keys, buttons and
// wheel do. GUI thread only.

#include <functional>

#include "corekit/mystring.h"
#include "corekit_ui/dialog.h"
#include "shell/inputmapping.h"

class CInputBinding;
class CLorimoSettings;
class CXPButtonMenu;
class QComboBox;
class QTreeWidget;
class QTreeWidgetItem;

constexpr int IDC_MAPPING_LOAD = 1101;
constexpr int IDC_MAPPING_SAVE_AS = 1102;
// The preset entries of "Load", in MAPPINGPRESET order.
constexpr int IDC_MAPPING_PRESET_FIRST = 1110;

class CDlgInputMapping : public CDialog {
  Q_OBJECT

 public:
  // binding: what OK applies to; settings: the stored assignment (for the
  // exit save) and the registry the source is written to.
  CDlgInputMapping(CInputBinding& binding, CLorimoSettings& settings, QWidget* parent = nullptr);

  // Asks for a keyboard-map file; an empty result cancels. The default is
  // the file dialog ("*.lkb", default extension "lkb").
  using FileChooser = std::function<MyString(bool bSave, const MyString& start)>;
  void SetFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

  const CInputMapping& Mapping() const { return m_mapping; }
  QTreeWidget* GetList() const { return m_list; }
  // The open drop-down, or null.
  QComboBox* GetEditor() const { return m_editor; }
  // The list's row of an event.
  QTreeWidgetItem* GetEventItem(int event) const;

  // Opens the drop-down over the event's action cell.
  void OpenEditor(int event);
  void CloseEditor();

 protected:
  int OnInitDialog() override;
  int OnCommand(int id) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Fill();
  void SetSource(const tagMAPPINGSOURCE& source);
  void ShowError(const QString& text);
  void LoadFile();
  void SaveFile();
  MyString ChooseFile(bool bSave, const MyString& start);

  CInputBinding& m_binding;
  CLorimoSettings& m_settings;
  CInputMapping m_mapping;
  tagMAPPINGSOURCE m_source;
  FileChooser m_chooseFile;
  QTreeWidget* m_list;
  CXPButtonMenu* m_load;
  QComboBox* m_editor = nullptr;
  int m_nEditedEvent = -1;
};

// Command "Keyboard and Mouse Mappings ...": the dialog, modal. 1 when OK
// changed the assignment.
int RunInputMappingDialog(CInputBinding& binding, CLorimoSettings& settings, QWidget* parent);
