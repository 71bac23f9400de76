#include "collections/favoritesdialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "collections/favoritespane.h"
#include "collections/portfoliochooser.h"
#include "nestbook/tvt.h"

namespace {

QTreeWidget* MakeTree(QWidget* parent) {
  auto* tree = new QTreeWidget(parent);
  tree->setHeaderHidden(true);
  tree->setIconSize(QSize(16, 16));
  TVTSetImageList(tree, TVTDefaultImageList(tree->style()));
  return tree;
}

QPushButton* AddButton(CDialog* dialog, QLayout* layout, int id, const QString& text) {
  auto* button = new QPushButton(text, dialog);
  button->setAutoDefault(false);
  dialog->SetDlgItem(id, button);
  layout->addWidget(button);
  return button;
}

}  // namespace

// --- The folders tree ---

void CFavoritesFolderTree::Fill(CFavoritesNode* select) {
  m_pTree->clear();
  if (!m_pRoot) return;
  QTreeWidgetItem* top = TVTInsertNode(m_pTree, nullptr, m_pRoot, FAV_TYPE_FOLDER, false);
  if (!top) return;
  m_pTree->expandAll();
  Choose(select ? select : m_pRoot);
}

CFavoritesNode* CFavoritesFolderTree::Chosen() const {
  CFavoritesNode* node = TVTGetItemData(m_pTree->currentItem());
  return node ? node : m_pRoot;
}

void CFavoritesFolderTree::Choose(CFavoritesNode* folder) {
  if (QTreeWidgetItem* item = TVTFindNode(m_pTree, nullptr, folder)) {
    m_pTree->setCurrentItem(item);
    m_pTree->scrollToItem(item);
  }
}

// --- Add Favorites ---

CDlgAddFavorites::CDlgAddFavorites(CFavoritesPane* pane, int32_t type, QWidget* parent)
    : CDialog(parent),
      m_pPane(pane),
      m_nType(type),
      m_pFolderTree(MakeTree(this)),
      m_folders(m_pFolderTree, pane->Root()) {
  const QString what = type == FAV_TYPE_DIRECTORY ? tr("Directory") : tr("Portfolio files");
  setWindowTitle(tr("Add Favorites - %1").arg(what));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Lorimo will add this %1 to your Favorites folder.").arg(what)));
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(new QLabel(tr("Path:")));
  m_pPath = new QLineEdit(this);
  m_pPath->setReadOnly(true);
  pathRow->addWidget(m_pPath, 1);
  AddButton(this, pathRow, IDC_FAV_BROWSE, tr("Browse"));
  layout->addLayout(pathRow);
  layout->addWidget(new QLabel(tr("Create in:")));
  auto* treeRow = new QHBoxLayout;
  treeRow->addWidget(m_pFolderTree, 1);
  auto* side = new QVBoxLayout;
  AddButton(this, side, IDC_FAV_NEW_FOLDER, tr("New Folder..."));
  side->addStretch();
  treeRow->addLayout(side);
  layout->addLayout(treeRow, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  AddButton(this, buttons, IDOK, tr("OK"))->setDefault(true);
  AddButton(this, buttons, IDCANCEL, tr("Cancel"));
  layout->addLayout(buttons);
  CFavoritesNode* current = pane->CurrentNode();
  m_folders.Fill(current ? current->GetFriendNode() : nullptr);
}

void CDlgAddFavorites::SetPaths(const std::vector<MyString>& paths) {
  m_paths = paths;
  m_pPath->setText(GetPathText());
}

QString CDlgAddFavorites::GetPathText() const {
  QString text;
  for (const MyString& path : m_paths)
    text += QLatin1Char('\'') + path.ToQString() + QStringLiteral("' ");
  return text;
}

CFavoritesNode* CDlgAddFavorites::CreateFolder(const MyString& name) {
  if (name.ToQString().trimmed().isEmpty()) return nullptr;
  CFavoritesNode* parent = m_folders.Chosen();
  if (!parent) return nullptr;
  const auto it = parent->CreateChildNodeSorted(nullptr, name.c_str(), FAV_TYPE_FOLDER);
  if (it == parent->vChildren.end()) return nullptr;
  CFavoritesNode* folder = *it;
  folder->bUserAdded = 1;
  m_folders.Fill(folder);
  m_pPane->RefreshChildren(parent);
  return folder;
}

void CDlgAddFavorites::Browse() {
  std::vector<MyString> chosen;
  if (m_nType == FAV_TYPE_DIRECTORY) {
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("Please choose your favorite directory."), QDir::homePath());
    if (!folder.isEmpty()) chosen.push_back(MyString::FromQString(folder));
  } else {
    for (const MyString& path : ChoosePortfolios(this, newPortfolio)) chosen.push_back(path);
  }
  if (!chosen.empty()) SetPaths(chosen);
}

int CDlgAddFavorites::OnCommand(int id) {
  switch (id) {
    case IDC_FAV_BROWSE:
      Browse();
      return 1;
    case IDC_FAV_NEW_FOLDER: {
      bool ok = false;
      const QString name =
          QInputDialog::getText(this, tr("Create New Folder"),
                                tr("Lorimo will create the following folder for you. You can use\n"
                                   " this folder to organize Favorites.\n\nFolder name:"),
                                QLineEdit::Normal, QString(), &ok);
      if (ok) CreateFolder(MyString::FromQString(name));
      return 1;
    }
    case IDOK:
      if (!m_paths.empty()) m_pPane->AddFavorites(m_paths, m_nType, m_folders.Chosen());
      EndDialog(IDOK);
      return 1;
    default:
      return CDialog::OnCommand(id);
  }
}

// --- Browse for Folders Favorites ---

CDlgChooseFavoritesFolder::CDlgChooseFavoritesFolder(CFavoritesNode* root, CFavoritesNode* start,
                                                     QWidget* parent)
    : CDialog(parent), m_pFolderTree(MakeTree(this)), m_folders(m_pFolderTree, root) {
  setWindowTitle(tr("Browse for Folders Favorites"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Click the folder that you want to move the selected item to.")));
  layout->addWidget(m_pFolderTree, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  AddButton(this, buttons, IDOK, tr("OK"))->setDefault(true);
  AddButton(this, buttons, IDCANCEL, tr("Cancel"));
  layout->addLayout(buttons);
  m_folders.Fill(start);
}

// --- Favorites Manager ---

CDlgFavoritesManager::CDlgFavoritesManager(CFavoritesPane* pane, QWidget* parent)
    : CDialog(parent), m_pPane(pane), m_pTree(MakeTree(this)) {
  setWindowTitle(tr("Favorites Manager"));
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(m_pTree, 1);
  auto* side = new QVBoxLayout;
  AddButton(this, side, IDC_FAV_ADD_DIRECTORY, tr("Add Directory"));
  AddButton(this, side, IDC_FAV_ADD_PORTFOLIO, tr("Add Portfolio"));
  AddButton(this, side, IDC_FAV_RESTORE_ALL, tr("Restore All"));
  AddButton(this, side, IDC_FAV_RESTORE, tr("Restore"));
  AddButton(this, side, IDC_FAV_MOVE_TO, tr("Move to..."));
  AddButton(this, side, IDC_FAV_REMOVE, tr("Remove"));
  auto* arrows = new QHBoxLayout;
  AddButton(this, arrows, IDC_FAV_UP, QStringLiteral("\u25B2"))->setToolTip(tr("Move up"));
  AddButton(this, arrows, IDC_FAV_DOWN, QStringLiteral("\u25BC"))->setToolTip(tr("Move down"));
  side->addLayout(arrows);
  side->addStretch();
  AddButton(this, side, IDCANCEL, tr("Exit"));
  layout->addLayout(side);
  addFavorites = [this](int32_t type) {
    CDlgAddFavorites dialog(m_pPane, type, this);
    dialog.newPortfolio = newPortfolio;
    dialog.ChooseFolder(Selected() ? Selected()->GetFriendNode() : nullptr);
    dialog.DoModal();
  };
  Fill();
}

void CDlgFavoritesManager::Fill() {
  CFavoritesNode* keep = Selected();
  m_pTree->clear();
  // The whole tree as it is now; listed subfolders are shown when the pane
  // has listed them.
  TVTLoadNode(m_pTree, nullptr, m_pPane->Root(), FAV_TYPE_ALL, false, true);
  m_pTree->expandAll();
  if (keep) Select(keep);
}

CFavoritesNode* CDlgFavoritesManager::Selected() const {
  return TVTGetItemData(m_pTree->currentItem());
}

void CDlgFavoritesManager::Select(CFavoritesNode* node) {
  if (QTreeWidgetItem* item = TVTFindNode(m_pTree, nullptr, node)) {
    m_pTree->setCurrentItem(item);
    m_pTree->scrollToItem(item);
  }
}

int CDlgFavoritesManager::MoveTo(CFavoritesNode* target) {
  CFavoritesNode* node = Selected();
  if (!node) return 0;
  if (!target) {
    CDlgChooseFavoritesFolder chooser(m_pPane->Root(), node->GetFriendNode(), this);
    if (chooser.DoModal() != IDOK) return 0;
    target = chooser.Chosen();
  }
  const bool moved = m_pPane->MoveNode(node, target) == EFavoritesMove::kMoved;
  Fill();
  if (moved) Select(node);
  return moved ? 1 : 0;
}

int CDlgFavoritesManager::OnCommand(int id) {
  CFavoritesNode* node = Selected();
  switch (id) {
    case IDC_FAV_ADD_DIRECTORY:
    case IDC_FAV_ADD_PORTFOLIO:
      if (addFavorites)
        addFavorites(id == IDC_FAV_ADD_DIRECTORY ? FAV_TYPE_DIRECTORY : FAV_TYPE_PORTFOLIO);
      Fill();
      return 1;
    case IDC_FAV_RESTORE_ALL:
      m_pPane->RestoreNames(nullptr);
      Fill();
      return 1;
    case IDC_FAV_RESTORE:
      if (node) m_pPane->RestoreNames(node);
      Fill();
      return 1;
    case IDC_FAV_MOVE_TO:
      MoveTo();
      return 1;
    case IDC_FAV_REMOVE:
      // Its item goes with it: nothing may ask for the node afterwards.
      m_pTree->setCurrentItem(nullptr);
      if (node) m_pPane->RemoveFavorite(node);
      Fill();
      return 1;
    case IDC_FAV_UP:
    case IDC_FAV_DOWN:
      if (node) m_pPane->MoveFavorite(node, id == IDC_FAV_UP);
      Fill();
      return 1;
    default:
      return CDialog::OnCommand(id);
  }
}
