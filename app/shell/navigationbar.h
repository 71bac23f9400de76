#pragma once
// The navigation toolbar: "Address:" and a drop-down box listing the file
// system's places, the recent folders and the portfolio slots. Picking an
// entry, or typing a path and pressing Enter, hands the entry to the chosen
// handler; the list is built afresh each time it drops down, so it always
// shows the current lists. GUI thread only.

#include <QComboBox>
#include <QToolBar>
#include <functional>
#include <vector>

#include "shell/addressplaces.h"

class CRecentLists;
class QLineEdit;

// The address box: tells before its list drops down.
class CAddressBox : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;
  void showPopup() override;

 signals:
  void AboutToShowPopup();
};

class CNavigationBar : public QToolBar {
  Q_OBJECT
 public:
  // lists: the recent folders and portfolio slots (kept by the caller).
  // places: the file system's places, asked for each time the list is built.
  CNavigationBar(CRecentLists& lists, std::function<std::vector<tagADDRESSENTRY>()> places,
                 QWidget* parent = nullptr);

  void SetChosenHandler(std::function<void(const tagADDRESSENTRY&)> chosen) {
    m_chosen = std::move(chosen);
  }

  // Builds the list again from the places and the lists.
  void Refresh();
  // Shows a folder or portfolio path in the box (nothing is opened).
  void SetAddress(const MyString& path);
  MyString GetAddress() const;
  const std::vector<tagADDRESSENTRY>& GetEntries() const { return m_entries; }
  // Picks the entry at the index as the user would.
  void ChooseEntry(int index);

  CAddressBox* AddressBox() const { return m_box; }
  QLineEdit* AddressEdit() const;

 signals:
  // A typed address names nothing.
  void AddressNotFound(const QString& text);

 private:
  void OnReturnPressed();

  CRecentLists& m_lists;
  std::function<std::vector<tagADDRESSENTRY>()> m_places;
  std::function<void(const tagADDRESSENTRY&)> m_chosen;
  std::vector<tagADDRESSENTRY> m_entries;
  CAddressBox* m_box;
  bool m_bRefreshing = false;
};
