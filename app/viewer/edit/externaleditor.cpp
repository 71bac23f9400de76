#include "viewer/edit/externaleditor.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "pixwork/options.h"
#include "viewer/imagedocument.h"

namespace {

constexpr char16_t kCaption[] = u"Lorimo: External Editor";

}  // namespace

CExternalEditor::CExternalEditor(CImageDocument& document, CFileEditUi& ui)
    : start([](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
      }),
      m_document(document),
      m_ui(ui) {}

MyString CExternalEditor::ResolveEditor(const MyString& program) {
  if (program.IsEmpty()) return MyString();
  const QString text = program.ToQString();
  if (text.contains(u'/')) {
    const QFileInfo info(text);
    if (info.isFile() && info.isExecutable()) return MyString::FromQString(info.absoluteFilePath());
    return MyString();
  }
  return MyString::FromQString(QStandardPaths::findExecutable(text));
}

bool CExternalEditor::IsUsableEditor(const MyString& program) {
  return !ResolveEditor(program).IsEmpty();
}

int CExternalEditor::SetEditor(const MyString& program) {
  return SetRecordText(gszExtEdit, program.c_str(), program.GetLength());
}

MyString CExternalEditor::GetEditor() { return MyString(gszExtEdit, RecordTextLength(gszExtEdit)); }

int CExternalEditor::Run() {
  const MyString path = m_document.GetPath();
  if (!m_document.HasImage() || path.IsEmpty()) {
    m_ui.Message(u"Please Open Image First.", kCaption, MK_WARNING);
    return 0;
  }
  MyString editor = GetEditor();
  if (!IsUsableEditor(editor)) {
    if (!m_ui.OfferEditorChoice()) return 0;
    const MyString chosen = m_ui.ChooseEditorProgram(editor);
    if (chosen.IsEmpty()) return 0;
    if (!IsUsableEditor(chosen)) {
      m_ui.Message(u"The chosen file is not a program that can be started:\n" + chosen, kCaption,
                   MK_ERROR);
      return 0;
    }
    if (!SetEditor(chosen)) {
      m_ui.Message(u"The path of the chosen program is too long:\n" + chosen, kCaption, MK_ERROR);
      return 0;
    }
    editor = chosen;
  }
  // The path goes as one argument of its own: no quoting, so no name can
  // split it or be read as an option of the shell.
  if (!start || !start(ResolveEditor(editor).ToQString(), QStringList{path.ToQString()})) {
    m_ui.Message(u"The external editor could not be started:\n" + editor, kCaption, MK_ERROR);
    return 0;
  }
  return 1;
}
