#include "shell/filedialogfilter.h"

#include <QRegularExpression>
#include <QStringList>

#include "pixwork/formats.h"

QString QtFilterFromFilterText(const MyString& filter) {
  static const QRegularExpression kShownPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  QStringList entries;
  for (const FILTERPART& part : SplitFilterText(filter.str())) {
    // Qt shows the patterns itself; a label that names them already would
    // show them twice.
    QString label = part.strLabel.ToQString();
    label.remove(kShownPatterns);
    label = label.trimmed();
    // Extensions match in either letter case, as users expect of ".JPG".
    QStringList patterns;
    for (const QString& pattern :
         part.strPattern.ToQString().split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      const QString trimmed = pattern.trimmed();
      for (const QString& form : {trimmed.toLower(), trimmed.toUpper()})
        if (!form.isEmpty() && !patterns.contains(form)) patterns.append(form);
    }
    entries.append(label + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')'));
  }
  return entries.join(QStringLiteral(";;"));
}
