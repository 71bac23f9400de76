#pragma once
// "E-mail pictures": the modeless dialog that collects pictures and sends
// them with the user's mail program, resized and zipped on request. It can
// be hidden ("Postpone") with its list kept. The list and the send are
// CMailList's and CMailSender's; the dialog shows them. GUI thread only.

#include <functional>
#include <memory>

#include "corekit/mystring.h"
#include "corekit_ui/dialog.h"
#include "pixwork/mailsender.h"

class CDlgBatchResize;
class CSortedListCtrl;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

enum : int {
  IDC_MAIL_ADD = 1240,
  IDC_MAIL_ADD_LINK = 1241,
  IDC_MAIL_REMOVE_SELECTED = 1242,
  IDC_MAIL_REMOVE_ALL = 1243,
  IDC_MAIL_ZIP = 1244,
  IDC_MAIL_RESIZE = 1245,
  IDC_MAIL_RESIZE_OPTIONS = 1246,
  IDC_MAIL_SEND = 1247,
  IDC_MAIL_POSTPONE = 1248,
};

class CDlgMail : public CDialog {
 public:
  explicit CDlgMail(QWidget* owner = nullptr);
  ~CDlgMail() override;

  // Shows the dialog and adds the file as "Add Pictures..." does for one
  // file, then sorts the list. 1; 0 while a send is under way (the list
  // is about to be emptied).
  int AddAttachement(const MyString& path);
  // "Add Pictures..." with the files chosen: each file that exists and is
  // not listed yet; the list is sorted. The number added.
  int AddFiles(const MyStringList& paths);

  CSortedListCtrl* List() const { return m_pList; }
  const CMailList& Attachments() const { return m_attachments; }
  // The box "Uncompressed attachement size:".
  QString GetSizeText() const;
  CMailSender& Sender() { return m_sender; }
  bool IsSending() const { return m_sender.IsSending() || m_bPreparing; }
  // The resize settings while "Resize before emailing" is ticked, else null.
  CDlgBatchResize* ResizeSettings() const { return m_pResize.get(); }

  // Questions and messages, replaceable so the dialog runs without a user.
  std::function<MyStringList()> askFiles;
  // Opens the batch-resize dialog on the settings; true when accepted.
  std::function<bool(CDlgBatchResize& settings)> askResize;
  std::function<void(const QString& text, const QString& caption)> showWarning;
  // A send has ended, or could not begin (after its messages).
  std::function<void(const tagMAILRESULT& result)> onSent;

 protected:
  int OnInitDialog() override;
  int OnCommand(int id) override;

 private:
  void OnAdd();
  void OnRemoveSelected();
  void OnRemoveAll();
  void OnResizeToggled();
  void OnResizeOptions();
  void OnSend();
  void OnSendFinished(const tagMAILRESULT& result);
  // Drops the resize settings and unticks the box.
  void DropResize();
  int AddRow(const MyString& path);
  void UpdateControls();
  void UpdatePreview();

  CMailList m_attachments;
  CMailSender m_sender;
  std::unique_ptr<CDlgBatchResize> m_pResize;
  bool m_bPreparing = false;
  CSortedListCtrl* m_pList = nullptr;
  QLabel* m_pPreview = nullptr;
  QLineEdit* m_pSize = nullptr;
  QCheckBox* m_pZip = nullptr;
  QCheckBox* m_pResizeCheck = nullptr;
  QPushButton* m_pResizeOptions = nullptr;
  QPushButton* m_pRemoveSelected = nullptr;
  QPushButton* m_pRemoveAll = nullptr;
  QPushButton* m_pSend = nullptr;
  QProgressBar* m_pProgress = nullptr;
};
