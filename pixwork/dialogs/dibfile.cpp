#include "pixwork/dibfile.h"

#include <QFileDialog>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "pixwork/formats.h"

namespace {

QPointer<QWidget> gOwner;
QString gFolder;

QWidget* Owner(QWidget* owner) { return owner ? owner : gOwner.data(); }

// A label such as "BMP Files (*.BMP)" without its own pattern part.
QString BareLabel(const QString& label) {
  const qsizetype open = label.lastIndexOf(QLatin1Char('('));
  return open > 0 && label.endsWith(QLatin1Char(')')) ? label.left(open).trimmed() : label;
}

void Remember(const MyString& path) {
  const MyString folder = path.GetStringPath();
  if (!folder.IsEmpty()) gFolder = folder.ToQString();
}

}  // namespace

void DibFileInitialize(QWidget* owner, const MyString& initialFolder) {
  gOwner = owner;
  if (!initialFolder.IsEmpty()) gFolder = initialFolder.ToQString();
}

QString QtFileDialogFilter(const MyString& filter) {
  QStringList entries;
  for (const FILTERPART& part : SplitFilterText(filter.str())) {
    QStringList patterns;
    for (const QString& pattern :
         part.strPattern.ToQString().split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      patterns << pattern.toLower();
      if (pattern.toUpper() != pattern.toLower()) patterns << pattern.toUpper();
    }
    patterns.removeDuplicates();
    entries << BareLabel(part.strLabel.ToQString()) + QStringLiteral(" (") +
                   patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return entries.join(QStringLiteral(";;"));
}

MyString ExtensionOfQtFilter(const QString& entry) {
  const qsizetype star = entry.indexOf(QStringLiteral("*."));
  if (star < 0) return MyString();
  qsizetype end = star + 2;
  while (end < entry.size() && entry[end].isLetterOrNumber()) ++end;
  if (end == star + 2) return MyString();
  return MyString::FromQString(entry.mid(star + 1, end - star - 1).toLower());
}

int DibFileOpenDlg(QWidget* owner, MyString* path, MyString* title, const MyString& filter) {
  if (!path) return 0;
  const QString chosen =
      QFileDialog::getOpenFileName(Owner(owner), QObject::tr("Open"), gFolder,
                                   QtFileDialogFilter(filter.IsEmpty() ? GetOpenFilter() : filter));
  if (chosen.isEmpty()) return 0;
  *path = MyString::FromQString(chosen);
  if (title) *title = path->GetStringTitleExt();
  Remember(*path);
  return 1;
}

int DibFileSaveDlg(QWidget* owner, MyString* path, MyString* title, const MyString& filter) {
  if (!path) return 0;
  const MyString text = filter.IsEmpty()
                            ? MyString(std::u16string(szSaveFilter, sizeof(szSaveFilter) / 2 - 1))
                            : filter;
  const QString qtFilter = QtFileDialogFilter(text);
  // Start with the filter of the proposed name's extension.
  QString selected;
  const MyString proposed = path->GetStringExtension().ToLower();
  for (const QString& entry : qtFilter.split(QStringLiteral(";;")))
    if (!proposed.IsEmpty() && ExtensionOfQtFilter(entry) == proposed) selected = entry;
  const QString start = path->IsEmpty() ? gFolder : path->ToQString();
  QString chosen = QFileDialog::getSaveFileName(Owner(owner), QObject::tr("Save As"), start,
                                                qtFilter, &selected);
  if (chosen.isEmpty()) return 0;
  MyString result = MyString::FromQString(chosen);
  if (result.GetStringExtension().IsEmpty()) result += ExtensionOfQtFilter(selected);
  *path = result;
  if (title) *title = path->GetStringTitleExt();
  Remember(*path);
  return 1;
}
