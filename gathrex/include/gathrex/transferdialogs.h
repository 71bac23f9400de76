#pragma once
// The transfer wizard that comes up when a camera or card is connected, and
// the manual transfer dialog in which the user picks devices and pictures.
// A device is a mount point (starting with '/') or a libgphoto2 port
// ("usb:001,005", "disk:<folder>"). Listing, loading and copying run on
// worker threads; the dialogs only draw and answer. GUI thread only.

#include <QDateTime>
#include <QImage>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "corekit/mystring.h"
#include "corekit_ui/dialog.h"
#include "gathrex/cameradevice.h"
#include "gathrex/transferengine.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QSortFilterProxyModel;
class QStackedWidget;
class QStandardItemModel;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

// Registry values below Software\ZOKA\Lorimo.
inline constexpr char16_t kWiaDestDirValue[] = u"WIA_DestDir";
inline constexpr char16_t kWiaListModeValue[] = u"WIA_ListMode";

// Where the dialogs learn which removable volumes are mounted (the program's
// volume watcher) and how they ask whether the viewer reads a file; both set
// once by the program. Without them no volume is listed and the image
// service decides.
struct tagTRANSFERHOOKS {
  std::function<MyStringList()> volumes;
  std::function<bool(const MyString& path)> isPicture;
};
tagTRANSFERHOOKS& TransferHooks();

// A device name: true for a card's mount point, false for a camera port.
inline bool IsVolumeDevice(const MyString& device) {
  return !device.IsEmpty() && device[0] == u'/';
}

// One row of the manual dialog's picture list.
struct tagOURLISTITEMDATA {
  MyString strName;  // shown; the card file's full path, or the camera file's name
  QDateTime date;    // local time
  int nWidth = 0;    // 0 when not known
  int nHeight = 0;
  int64_t nSize = 0;  // bytes
  int nImage = -1;    // thumbnail index
  bool bCamera = false;
  tagCAMERAFILE camera;  // the camera file, for a camera row
};

// The list's sort rule: Name and Type compare the names, Size the sizes,
// Date Picture Taken the dates, Dimensions the widths. < 0, 0 or > 0.
int CompareListItems(const tagOURLISTITEMDATA& a, const tagOURLISTITEMDATA& b, int column);

// Runs work on a worker thread while a "Progress" dialog shows the counts
// and offers Cancel, which sets the stop flag. Returns when work is done;
// the event loop keeps running meanwhile.
class CTransferProgress {
 public:
  using Work = std::function<void(const std::atomic<bool>& stop, CTransferEngine::Progress)>;
  static void Run(QWidget* owner, const Work& work);
};

class CDlgManualTransfer;

class CDlgTransferWizard : public CDialog {
  Q_OBJECT

 public:
  CDlgTransferWizard(QWidget* owner, const MyString& device);
  ~CDlgTransferWizard() override;

  void NotifyConnectedDevice(const MyString& device);
  void NotifyDisconnectedDevice(const MyString& device);
  // The manual dialog opened from here, while it is open.
  CDlgManualTransfer* GetManualDialog() const { return m_manual; }

  // The automatic transfer (also the big button). 1 when pictures arrived.
  int AutomaticTransfer();

  // Asks for the destination and stores it in WIA_DestDir. 1 when chosen.
  static int ChooseDestination(QWidget* parent, MyString* folder);
  static MyString StoredDestination();

 protected:
  int OnInitDialog() override;
  int OnCommand(int id) override;

 private:
  MyString m_strDevice;
  QPointer<CDlgManualTransfer> m_manual;
  bool m_bBusy = false;
};

class CDlgManualTransfer : public CDialog {
  Q_OBJECT

 public:
  CDlgManualTransfer(QWidget* owner, const MyString& device);
  ~CDlgManualTransfer() override;

  void NotifyConnectedDevice(const MyString& device);
  void NotifyDisconnectedDevice(const MyString& device);

  // For the program's tests and the wizard: the listed devices, the rows.
  MyStringList GetDevices() const;
  const std::vector<tagOURLISTITEMDATA>& GetItems() const { return m_items; }
  bool IsLoading() const { return m_bLoading; }
  void SelectDevice(const MyString& device);
  void SetDestination(const MyString& folder);
  void SetDeleteAfter(bool deleteAfter);
  void SetDatedFolder(bool dated);
  // Sorts as a click on the column's header does; the rows (indexes into
  // GetItems) in the order they show.
  void SortBy(int column, bool ascending);
  std::vector<int> GetShownRows() const;
  // Start Transfer; 1 when the transfer ran.
  int StartTransfer();

 protected:
  int OnInitDialog() override;
  int OnCommand(int id) override;
  void OnDestroy() override;

 private:
  void AddDevice(const MyString& device, const MyString& label);
  void LoadDevice(const MyString& device);
  void AddRow(tagOURLISTITEMDATA item, const QImage& thumbnail);
  void ShowListText(const QString& text);
  void SetButtonsEnabled(bool enabled);
  void SetListMode(int mode);
  void StopLoading();
  std::vector<int> SelectedRows() const;

  MyString m_strDevice;
  MyString m_strShown;  // device whose content the list shows
  std::vector<tagOURLISTITEMDATA> m_items;
  QTreeWidget* m_devices = nullptr;
  QComboBox* m_views = nullptr;
  QStackedWidget* m_stack = nullptr;
  QListView* m_thumbs = nullptr;
  QTreeView* m_details = nullptr;
  QLabel* m_listText = nullptr;
  QStandardItemModel* m_model = nullptr;
  QSortFilterProxyModel* m_sorted = nullptr;
  QLineEdit* m_destination = nullptr;
  QCheckBox* m_delete = nullptr;
  QCheckBox* m_dated = nullptr;
  int m_nListMode = 1;
  bool m_bLoading = false;
  int m_nRequest = 0;
  std::atomic<bool> m_stop{false};
  std::thread m_worker;
  std::thread m_lister;
};
