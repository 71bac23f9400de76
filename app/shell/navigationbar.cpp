#include "shell/navigationbar.h"

#include <QFileIconProvider>
#include <QLabel>
#include <QLineEdit>

#include "shell/recentlists.h"

void CAddressBox::showPopup() {
  emit AboutToShowPopup();
  QComboBox::showPopup();
}

CNavigationBar::CNavigationBar(CRecentLists& lists,
                               std::function<std::vector<tagADDRESSENTRY>()> places,
                               QWidget* parent)
    : QToolBar(parent), m_lists(lists), m_places(std::move(places)), m_box(new CAddressBox(this)) {
  auto* label = new QLabel(tr("Address:"), this);
  label->setContentsMargins(4, 0, 4, 0);
  label->setBuddy(m_box);
  m_box->setEditable(true);
  m_box->setInsertPolicy(QComboBox::NoInsert);
  m_box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  m_box->setMinimumContentsLength(40);
  m_box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  // A typed path that names nothing is not completed to a listed one.
  m_box->setCompleter(nullptr);
  addWidget(label);
  addWidget(m_box);

  connect(m_box, &CAddressBox::AboutToShowPopup, this, [this] {
    const QString typed = m_box->currentText();
    Refresh();
    m_box->setEditText(typed);
  });
  connect(m_box, &QComboBox::activated, this, [this](int index) {
    if (!m_bRefreshing) ChooseEntry(index);
  });
  connect(m_box->lineEdit(), &QLineEdit::returnPressed, this, &CNavigationBar::OnReturnPressed);
  Refresh();
  m_box->setEditText(QString());
}

QLineEdit* CNavigationBar::AddressEdit() const { return m_box->lineEdit(); }

void CNavigationBar::Refresh() {
  m_bRefreshing = true;
  m_entries = CAddressList::Build(m_places ? m_places() : std::vector<tagADDRESSENTRY>(), m_lists);
  QFileIconProvider icons;
  m_box->clear();
  for (const tagADDRESSENTRY& entry : m_entries) {
    const QIcon icon = entry.nKind == AK_PORTFOLIO ? icons.icon(QFileIconProvider::File)
                                                   : icons.icon(QFileIconProvider::Folder);
    m_box->addItem(icon, entry.strText.ToQString());
    m_box->setItemData(m_box->count() - 1, entry.strPath.ToQString(), Qt::ToolTipRole);
  }
  m_box->setCurrentIndex(-1);
  m_bRefreshing = false;
}

void CNavigationBar::SetAddress(const MyString& path) { m_box->setEditText(path.ToQString()); }

MyString CNavigationBar::GetAddress() const { return MyString::FromQString(m_box->currentText()); }

void CNavigationBar::ChooseEntry(int index) {
  if (index < 0 || size_t(index) >= m_entries.size()) return;
  const tagADDRESSENTRY entry = m_entries[size_t(index)];
  SetAddress(entry.strPath);
  if (m_chosen) m_chosen(entry);
}

void CNavigationBar::OnReturnPressed() {
  const QString text = m_box->currentText();
  // A listed text was taken by the box as that entry.
  if (m_box->findText(text) >= 0) return;
  tagADDRESSENTRY entry;
  if (!CAddressList::Resolve(MyString::FromQString(text), &entry)) {
    emit AddressNotFound(text);
    return;
  }
  SetAddress(entry.strPath);
  if (m_chosen) m_chosen(entry);
}
