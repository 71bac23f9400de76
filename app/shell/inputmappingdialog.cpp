#include "shell/inputmappingdialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <string>

#include "corekit_ui/controls.h"
#include "shell/filedialogfilter.h"
#include "shell/inputbinding.h"
#include "shell/settings.h"

namespace {

constexpr int kEventRole = Qt::UserRole;

const char16_t* GroupTitle(INPUTEVENTGROUP group) {
  switch (group) {
    case INPUT_KEYBOARD:
      return u"KEYBOARD";
    case INPUT_MOUSE:
      return u"MOUSE (saved to CUSTOM MOUSE MAPPINGS in the TOOLS menu)";
    case INPUT_WHEEL:
      return u"ROLLER";
  }
  return u"";
}

QString ActionName(int event, uint32_t index) {
  const auto& actions = CInputBinding::Actions(CMappingValues::Events()[size_t(event)].nGroup);
  return index < actions.size() ? QString::fromUtf16(actions[index].pszName) : QString();
}

QString MapFileFilter() {
  static const char16_t kFilter[] = u"Lorimo Keyboard File (*.LKB)\0*.lkb\0All Files (*.*)\0*.*\0";
  return QtFilterFromFilterText(MyString(std::u16string(kFilter, std::size(kFilter) - 1)));
}

}  // namespace

CDlgInputMapping::CDlgInputMapping(CInputBinding& binding, CLorimoSettings& settings,
                                   QWidget* parent)
    : CDialog(parent),
      m_binding(binding),
      m_settings(settings),
      m_mapping(binding),
      m_list(new QTreeWidget(this)),
      m_load(new CXPButtonMenu(QIcon(), QStringLiteral("Load"), this)) {
  setWindowTitle(QStringLiteral("Keyboard and Mouse Mappings"));
  m_list->setColumnCount(2);
  m_list->setHeaderLabels({QStringLiteral("Key"), QStringLiteral("Action")});
  m_list->setRootIsDecorated(false);
  m_list->setUniformRowHeights(true);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setMinimumSize(420, 360);
  connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int column) {
    const int event = item->data(0, kEventRole).toInt();
    if (column == 1 && event >= 0) OpenEditor(event);
  });
  // The drop-down belongs to its cell; it cannot follow a scrolled list.
  connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this,
          &CDlgInputMapping::CloseEditor);
  connect(m_list->horizontalScrollBar(), &QScrollBar::valueChanged, this,
          &CDlgInputMapping::CloseEditor);

  for (int preset = 0; preset < MP_COUNT; ++preset) {
    static const char* const kNames[] = {"Lorimo Default", "ACDSee", "IrfanView",
                                         "Windows Picture and Fax Viewer"};
    m_load->AddMenuItem(IDC_MAPPING_PRESET_FIRST + preset, QString::fromLatin1(kNames[preset]));
    if (preset == MP_LORIMO_DEFAULT) m_load->AddSeparator();
  }
  // Room for the whole word beside the arrow.
  m_load->setToolButtonStyle(Qt::ToolButtonTextOnly);
  m_load->setMinimumWidth(m_load->sizeHint().width() + 24);
  auto* saveAs = new QPushButton(QStringLiteral("Save As"), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  ok->setDefault(true);
  SetDlgItem(IDC_MAPPING_LOAD, m_load);
  SetDlgItem(IDC_MAPPING_SAVE_AS, saveAs);
  SetDlgItem(IDOK, ok);
  SetDlgItem(IDCANCEL, cancel);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_load);
  buttons->addWidget(saveAs);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_list, 1);
  layout->addLayout(buttons);
}

int CDlgInputMapping::OnInitDialog() {
  // Every edited choice starts as the applied one.
  m_mapping = CInputMapping(m_binding);
  m_source = tagMAPPINGSOURCE::Load(m_settings.GetStore());
  if (m_source.nType != MT_NONE && m_source.nType != MT_UNKNOWN) {
    m_source.Store(m_settings.GetStore());
    SetSource(m_source);
  }
  Fill();
  return 1;
}

void CDlgInputMapping::Fill() {
  CloseEditor();
  m_list->clear();
  QFont bold = m_list->font();
  bold.setBold(true);
  const auto& events = CMappingValues::Events();
  for (int i = 0; i < CMappingValues::kEventCount; ++i) {
    const INPUTEVENTGROUP group = events[size_t(i)].nGroup;
    if (i == 0 || events[size_t(i - 1)].nGroup != group) {
      auto* title = new QTreeWidgetItem(m_list, {QString::fromUtf16(GroupTitle(group))});
      title->setData(0, kEventRole, -1);
      title->setFont(0, bold);
      title->setBackground(0, palette().button());
      title->setBackground(1, palette().button());
      title->setFlags(Qt::ItemIsEnabled);
      title->setFirstColumnSpanned(true);
    }
    auto* row = new QTreeWidgetItem(m_list, {QString::fromUtf16(events[size_t(i)].pszName),
                                             ActionName(i, m_mapping.Rows()[size_t(i)].nEdited)});
    row->setData(0, kEventRole, i);
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  }
}

QTreeWidgetItem* CDlgInputMapping::GetEventItem(int event) const {
  for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = m_list->topLevelItem(i);
    if (item->data(0, kEventRole).toInt() == event && event >= 0) return item;
  }
  return nullptr;
}

void CDlgInputMapping::resizeEvent(QResizeEvent* event) {
  CDialog::resizeEvent(event);
  const int column = std::max(40, m_list->width() / 2 - 20);
  m_list->setColumnWidth(0, column);
  m_list->setColumnWidth(1, column);
  CloseEditor();
}

void CDlgInputMapping::OpenEditor(int event) {
  CloseEditor();
  QTreeWidgetItem* item = GetEventItem(event);
  if (!item) return;
  m_list->setCurrentItem(item);
  m_editor = new QComboBox(m_list->viewport());
  for (uint32_t i = 0; i < CInputMapping::ChoosableCount(event); ++i)
    m_editor->addItem(ActionName(event, i));
  m_editor->setCurrentIndex(int(m_mapping.Rows()[size_t(event)].nEdited));
  const QRect row = m_list->visualItemRect(item);
  m_editor->setGeometry(m_list->columnViewportPosition(1), row.top(), m_list->columnWidth(1),
                        std::max(row.height(), m_editor->sizeHint().height()));
  m_nEditedEvent = event;
  connect(m_editor, &QComboBox::activated, this, [this](int index) {
    if (index >= 0 && m_mapping.SetEdited(m_nEditedEvent, uint32_t(index)))
      if (QTreeWidgetItem* item = GetEventItem(m_nEditedEvent))
        item->setText(1, ActionName(m_nEditedEvent, uint32_t(index)));
    CloseEditor();
  });
  m_editor->installEventFilter(this);
  m_editor->show();
  m_editor->setFocus();
  m_editor->showPopup();
}

void CDlgInputMapping::CloseEditor() {
  if (!m_editor) return;
  QComboBox* editor = m_editor;
  m_editor = nullptr;
  m_nEditedEvent = -1;
  editor->removeEventFilter(this);
  editor->hidePopup();
  editor->hide();
  // Later: this may run inside one of the box's own signals.
  editor->deleteLater();
}

bool CDlgInputMapping::eventFilter(QObject* watched, QEvent* event) {
  // The box's own list taking the focus is not a loss of it.
  if (watched == m_editor && event->type() == QEvent::FocusOut &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
      !m_editor->view()->window()->isVisible())
    CloseEditor();
  return CDialog::eventFilter(watched, event);
}

void CDlgInputMapping::SetSource(const tagMAPPINGSOURCE& source) {
  m_source = source;
  setWindowTitle(CInputMapping::Caption(source).ToQString());
}

void CDlgInputMapping::ShowError(const QString& text) {
  auto* box =
      new QMessageBox(QMessageBox::Warning, QStringLiteral("Lorimo: Keyboard and Mouse Mappings"),
                      text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

MyString CDlgInputMapping::ChooseFile(bool bSave, const MyString& start) {
  if (m_chooseFile) return m_chooseFile(bSave, start);
  QFileDialog dialog(this, bSave ? QStringLiteral("Save As") : QStringLiteral("Load"),
                     start.ToQString(), MapFileFilter());
  dialog.setAcceptMode(bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("lkb"));
  if (!start.IsEmpty()) dialog.selectFile(start.ToQString());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return MyString();
  return MyString::FromQString(dialog.selectedFiles().first());
}

void CDlgInputMapping::LoadFile() {
  const MyString path = ChooseFile(false, m_source.strFile);
  if (path.IsEmpty()) return;
  MyString error;
  if (!m_mapping.LoadFile(path, &error)) {
    ShowError(QStringLiteral("Cannot read the keyboard map file %1.\n%2")
                  .arg(path.ToQString(), error.ToQString()));
    return;
  }
  Fill();
  const tagMAPPINGSOURCE source{path, MT_FILE};
  source.Store(m_settings.GetStore());
  SetSource(source);
}

void CDlgInputMapping::SaveFile() {
  const MyString path = ChooseFile(true, m_source.strFile);
  if (path.IsEmpty()) return;
  MyString error;
  if (!m_mapping.SaveFile(path, &error)) {
    ShowError(QStringLiteral("Cannot save the keyboard map file %1.\n%2")
                  .arg(path.ToQString(), error.ToQString()));
    return;
  }
  const tagMAPPINGSOURCE source{path, MT_FILE};
  source.Store(m_settings.GetStore());
  SetSource(source);
}

int CDlgInputMapping::OnCommand(int id) {
  switch (id) {
    case IDOK:
      CloseEditor();
      m_mapping.Accept(m_settings.mapping, m_binding);
      return CDialog::OnCommand(id);
    case IDC_MAPPING_LOAD:
      LoadFile();
      return 1;
    case IDC_MAPPING_SAVE_AS:
      SaveFile();
      return 1;
    default:
      break;
  }
  if (id >= IDC_MAPPING_PRESET_FIRST && id < IDC_MAPPING_PRESET_FIRST + MP_COUNT) {
    const auto preset = MAPPINGPRESET(id - IDC_MAPPING_PRESET_FIRST);
    m_mapping.ApplyPreset(preset);
    Fill();
    const tagMAPPINGSOURCE source{m_source.strFile, CInputMapping::PresetType(preset)};
    source.Store(m_settings.GetStore());
    SetSource(source);
    return 1;
  }
  return CDialog::OnCommand(id);
}

int RunInputMappingDialog(CInputBinding& binding, CLorimoSettings& settings, QWidget* parent) {
  CDlgInputMapping dialog(binding, settings, parent);
  return dialog.DoModal() == IDOK ? 1 : 0;
}
