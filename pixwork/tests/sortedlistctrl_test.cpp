#include "pixwork/sortedlistctrl.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class SortedList : public ::testing::Test {
 protected:
  void SetUp() override {
    list.AddColumn("Name", SLC_TEXT);
    list.AddColumn("Delay", SLC_NUMBER, true);
    list.AddColumn("Date", SLC_DATE);
    list.showError = [this](const QString& text, const QString& caption) {
      errors.push_back(caption + ": " + text);
    };
    const QDateTime base(QDate(2024, 5, 1), QTime(12, 0));
    // Numbers that sort differently as text; dates against name order.
    Add("b.jpg", "250", base.addDays(2));
    Add("a.jpg", "1000", base.addDays(1));
    Add("c.jpg", "-5", base.addDays(3));
    Add("d.jpg", "90", base);
  }
  void Add(const char* name, const char* delay, const QDateTime& date) {
    const int row = list.InsertItem(list.GetItemCount(), {name, delay}, QString(name) + "!");
    list.SetItemDate(row, 2, date);
  }
  QStringList Names() const {
    QStringList names;
    for (int row = 0; row < list.GetItemCount(); ++row) names << list.GetItemText(row, 0);
    return names;
  }

  CSortedListCtrl list;
  QStringList errors;
};

TEST_F(SortedList, HeadingClicksSortEachTypeAndReverse) {
  QHeaderView* header = list.header();
  emit header->sectionClicked(1);
  EXPECT_EQ(Names(), QStringList({"c.jpg", "d.jpg", "b.jpg", "a.jpg"}));
  emit header->sectionClicked(1);
  EXPECT_EQ(Names(), QStringList({"a.jpg", "b.jpg", "d.jpg", "c.jpg"}));
  EXPECT_FALSE(list.IsSortAscending());
  emit header->sectionClicked(2);
  EXPECT_EQ(Names(), QStringList({"d.jpg", "a.jpg", "b.jpg", "c.jpg"}));
  emit header->sectionClicked(0);
  EXPECT_EQ(Names(), QStringList({"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
  // Row values travel with their rows; sorting is not an edit.
  EXPECT_EQ(list.GetItemData(2).toString(), "c.jpg!");
  EXPECT_FALSE(list.IsModified());
  // A row added later goes into place on Resort.
  Add("0.jpg", "7", QDateTime::currentDateTime());
  list.Resort();
  EXPECT_EQ(list.GetItemText(0, 0), "0.jpg");
}

TEST_F(SortedList, OneRowMovesGiveManualOrderSeveralAreRefused) {
  list.SortByColumn(0, true);
  list.SelectRow(0);
  EXPECT_EQ(list.MoveSelectedUp(), 0);  // already first
  EXPECT_EQ(list.MoveSelectedDown(), 1);
  EXPECT_EQ(Names(), QStringList({"b.jpg", "a.jpg", "c.jpg", "d.jpg"}));
  EXPECT_EQ(list.GetSortColumn(), -1);
  EXPECT_TRUE(list.IsModified());
  EXPECT_EQ(list.GetSelectedRows(), std::vector<int>({1}));
  // Manual order survives Resort.
  list.Resort();
  EXPECT_EQ(list.GetItemText(1, 0), "a.jpg");

  list.SetModified(false);
  list.SelectRow(2, false);
  EXPECT_EQ(list.MoveSelectedUp(), 0);
  ASSERT_EQ(errors.size(), 1);
  EXPECT_EQ(errors[0], "Error: Please select only one item to move.");
  EXPECT_EQ(Names(), QStringList({"b.jpg", "a.jpg", "c.jpg", "d.jpg"}));
  EXPECT_FALSE(list.IsModified());
}

TEST_F(SortedList, OnlyMarkedColumnsEditInPlaceAndEditsMarkModified) {
  list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  int editedRow = -1, editedColumn = -1;
  QObject::connect(&list, &CSortedListCtrl::ItemEdited, [&](int row, int column) {
    editedRow = row;
    editedColumn = column;
  });
  list.editItem(list.topLevelItem(0), 0);
  EXPECT_EQ(list.findChild<QLineEdit*>(), nullptr);

  list.editItem(list.topLevelItem(3), 1);
  auto* editor = list.findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, "12x5");  // letters are refused
  EXPECT_EQ(editor->text(), "125");
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();  // the delegate commits queued
  EXPECT_EQ(list.GetItemText(3, 1), "125");
  EXPECT_EQ(list.GetItemNumber(3, 1), 125);
  EXPECT_EQ(editedRow, 3);
  EXPECT_EQ(editedColumn, 1);
  EXPECT_TRUE(list.IsModified());
}

}  // namespace
