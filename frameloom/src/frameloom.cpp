// The movie maker plug-in: the "Frameloom" dialog over CMovieMaker. The
// dialog is the plug-in object; it is made at the first command and stays
// (modeless). Frames are read through the program (requests 1 and 5).
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <memory>
#include <thread>

#include "corekit/registry.h"
#include "corekit_ui/dialog.h"
#include "frameloom/lorimoplugin.h"
#include "frameloom/moviemaker.h"

namespace {

constexpr char16_t kSettingsKey[] = u"Software\\ZOKA\\Lorimo\\Frameloom";
const char16_t* const kQuadrantNames[Q_COUNT] = {u"RepUL", u"RepUR", u"RepLL", u"RepLR"};

// The program's side, as the dialog uses it.
class IFrameSource {
 public:
  virtual HBITMAP Read(const MyString& file, MyString* error) = 0;
  virtual bool Dimensions(const MyString& file, SIZE* size) = 0;

 protected:
  ~IFrameSource() = default;
};

class CDlgFrameloom : public CDialog {
 public:
  explicit CDlgFrameloom(IFrameSource* source) : CDialog(nullptr), m_pSource(source) { Build(); }
  ~CDlgFrameloom() override { StopRender(); }

  void StopRender() {
    if (m_maker) m_maker->Stop();
    if (m_render.joinable()) m_render.join();
  }

 private:
  void Build() {
    setWindowTitle(QStringLiteral("Frameloom"));
    auto* layout = new QGridLayout(this);
    m_list = new QListWidget(this);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layout->addWidget(m_list, 0, 0, 6, 1);
    int row = 0;
    auto button = [&](const char* text, auto slot) {
      auto* b = new QPushButton(QString::fromUtf8(text), this);
      connect(b, &QPushButton::clicked, this, slot);
      layout->addWidget(b, row++, 1);
      return b;
    };
    button("Browse For Files ...", [this] { Browse(); });
    button("Up", [this] { Move(-1); });
    button("Down", [this] { Move(1); });
    button("Remove", [this] { Remove(); });
    QPushButton* resample = button("Resample", [] {});
    auto* menu = new QMenu(resample);
    menu->addAction(QStringLiteral("Half pictures"), this, [this] { Thin(2); });
    menu->addAction(QStringLiteral("Quarter pictures"), this, [this] { Thin(4); });
    menu->addAction(QStringLiteral("More Options ..."), this, [this] { MoreOptions(); });
    resample->setMenu(menu);
    m_preview = new QLabel(QStringLiteral("No preview available ..."), this);
    m_preview->setMinimumSize(160, 120);
    m_preview->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_preview, row++, 1);
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { Preview(); });

    auto* rate = new QGroupBox(QStringLiteral("Selected DC Frame Rate"), this);
    auto* rateLayout = new QHBoxLayout(rate);
    m_delay = new QLineEdit(rate);
    rateLayout->addWidget(m_delay);
    rateLayout->addWidget(new QLabel(QStringLiteral("miliseconds"), rate));
    connect(m_delay, &QLineEdit::editingFinished, this, [this] { DelayChanged(); });
    layout->addWidget(rate, 6, 0);

    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    auto* optionsLayout = new QVBoxLayout(options);
    m_allowDD = new QCheckBox(QStringLiteral("Allow different dimensions"), options);
    optionsLayout->addWidget(m_allowDD);
    optionsLayout->addWidget(new QLabel(QStringLiteral("MPEG Quality"), options));
    m_quality = new QSlider(Qt::Horizontal, options);
    m_quality->setRange(0, 100);
    auto* readOut = new QLabel(options);
    connect(m_quality, &QSlider::valueChanged, readOut,
            [readOut](int value) { readOut->setText(QString::number(value)); });
    optionsLayout->addWidget(m_quality);
    optionsLayout->addWidget(readOut);
    layout->addWidget(options, 6, 1);

    auto* replication = new QGroupBox(QStringLiteral("Replication"), this);
    auto* replicationLayout = new QGridLayout(replication);
    const char* names[Q_COUNT] = {"upper-left", "upper-right", "lower-left", "lower-right"};
    for (int q = 0; q < Q_COUNT; ++q) {
      m_replicate[q] = new QCheckBox(QString::fromLatin1(names[q]), replication);
      replicationLayout->addWidget(m_replicate[q], q, 0);
      for (int c = 0; c < 2; ++c) {
        m_flips[q][c] = new QComboBox(replication);
        m_flips[q][c]->addItem(QStringLiteral("None"), kFlipNone);
        m_flips[q][c]->addItem(QStringLiteral("Up-Down"), kFlipUpDown);
        m_flips[q][c]->addItem(QStringLiteral("Left-Right"), kFlipLeftRight);
        replicationLayout->addWidget(m_flips[q][c], q, 1 + c);
      }
    }
    layout->addWidget(replication, 7, 0, 1, 2);

    auto* bottom = new QHBoxLayout;
    auto add = [&](const char* text, auto slot) {
      auto* b = new QPushButton(QString::fromUtf8(text), this);
      connect(b, &QPushButton::clicked, this, slot);
      bottom->addWidget(b);
    };
    add("Text Tool ...", [this] { TextTool(); });
    add("Create Movie ...", [this] { CreateMovie(); });
    add("About", [this] {
      QMessageBox::about(this, QStringLiteral("Frameloom"),
                         QStringLiteral("Frameloom turns pictures into movies."));
    });
    add("Exit", [this] {
      SaveSettings();
      hide();
    });
    layout->addLayout(bottom, 8, 0, 1, 2);
    LoadSettings();
  }

  void LoadSettings() {
    CRegistry key(HKEY_CURRENT_USER, kSettingsKey, true);
    uint32_t delay = 1000, allow = 0, quality = 75;
    key.GetValue(u"Delay", delay);
    key.GetValue(u"AlowDD", allow);
    key.GetValue(u"MPEGCompress", quality);
    m_delay->setText(QString::number(delay));
    m_allowDD->setChecked(allow != 0);
    m_quality->setValue(int(std::min<uint32_t>(quality, 100)));
    for (int q = 0; q < Q_COUNT; ++q) {
      uint32_t on = 0, flags = kFlipNone;
      key.GetValue(kQuadrantNames[q], on);
      key.GetValue(MyString(kQuadrantNames[q]) + u"Flags", flags);
      m_replicate[q]->setChecked(on != 0);
      m_flips[q][0]->setCurrentIndex(flags & kFlipUpDown ? 1 : 0);
      m_flips[q][1]->setCurrentIndex(flags & kFlipLeftRight ? 2 : 0);
    }
  }

  void SaveSettings() {
    CRegistry key(HKEY_CURRENT_USER, kSettingsKey, true);
    bool number = false;
    const uint32_t delay = m_delay->text().toUInt(&number);
    key.SetValue(u"Delay", number ? delay : 100u);
    key.SetValue(u"AlowDD", uint32_t(m_allowDD->isChecked()));
    key.SetValue(u"MPEGCompress", uint32_t(m_quality->value()));
    const tagMOVIESETTINGS settings = Settings();
    for (int q = 0; q < Q_COUNT; ++q) {
      key.SetValue(kQuadrantNames[q], uint32_t(settings.bReplicate[q]));
      if (settings.bReplicate[q])
        key.SetValue(MyString(kQuadrantNames[q]) + u"Flags", uint32_t(settings.nFlags[q]));
    }
  }

  tagMOVIESETTINGS Settings() const {
    tagMOVIESETTINGS settings;
    settings.nDelayMs = m_delay->text().toInt();
    settings.bAllowDifferentDimensions = m_allowDD->isChecked();
    settings.nMpegQuality = m_quality->value();
    for (int q = 0; q < Q_COUNT; ++q) {
      settings.bReplicate[q] = m_replicate[q]->isChecked();
      settings.nFlags[q] =
          m_flips[q][0]->currentData().toInt() | m_flips[q][1]->currentData().toInt();
    }
    return settings;
  }

  // "Text Annotations": text, font, colours and origin of the text drawn on
  // every composed frame.
  void TextTool() {
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Text Annotations"));
    auto* form = new QGridLayout(&dialog);
    auto* text = new QLineEdit(m_annotation.text, &dialog);
    auto* x = new QSpinBox(&dialog);
    auto* y = new QSpinBox(&dialog);
    x->setRange(0, 100000);
    y->setRange(0, 100000);
    x->setValue(m_annotation.origin.x());
    y->setValue(m_annotation.origin.y());
    auto* transparent = new QCheckBox(QStringLiteral("Transparent"), &dialog);
    transparent->setChecked(m_annotation.transparent);
    Annotation edited = m_annotation;
    auto* font = new QPushButton(QStringLiteral("Font ..."), &dialog);
    connect(font, &QPushButton::clicked, &dialog, [&] {
      bool ok = false;
      const QFont chosen = QFontDialog::getFont(&ok, edited.font, &dialog);
      if (ok) edited.font = chosen;
    });
    auto* colour = new QPushButton(QStringLiteral("Text colour ..."), &dialog);
    connect(colour, &QPushButton::clicked, &dialog, [&] {
      const QColor chosen = QColorDialog::getColor(edited.colour, &dialog);
      if (chosen.isValid()) edited.colour = chosen;
    });
    auto* background = new QPushButton(QStringLiteral("Background colour ..."), &dialog);
    connect(background, &QPushButton::clicked, &dialog, [&] {
      const QColor chosen = QColorDialog::getColor(edited.background, &dialog);
      if (chosen.isValid()) edited.background = chosen;
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addWidget(new QLabel(QStringLiteral("Text:"), &dialog), 0, 0);
    form->addWidget(text, 0, 1, 1, 3);
    form->addWidget(new QLabel(QStringLiteral("X:"), &dialog), 1, 0);
    form->addWidget(x, 1, 1);
    form->addWidget(new QLabel(QStringLiteral("Y:"), &dialog), 1, 2);
    form->addWidget(y, 1, 3);
    form->addWidget(font, 2, 0);
    form->addWidget(colour, 2, 1);
    form->addWidget(background, 2, 2);
    form->addWidget(transparent, 2, 3);
    form->addWidget(buttons, 3, 0, 1, 4);
    if (dialog.exec() != QDialog::Accepted) return;
    edited.text = text->text();
    edited.origin = QPoint(x->value(), y->value());
    edited.transparent = transparent->isChecked();
    m_annotation = edited;
  }

  void ShowList() {
    m_list->clear();
    for (const tagFRAMEENTRY& frame : m_frames)
      m_list->addItem(QStringLiteral("%1  (%2 ms)")
                          .arg(QFileInfo(frame.strFile.ToQString()).fileName())
                          .arg(std::max(0, frame.nDurationMs)));
  }

  void Browse() {
    const QStringList files = QFileDialog::getOpenFileNames(this, QString(), QString());
    const int delay = m_delay->text().toInt();
    for (const QString& file : files) m_frames.push_back({MyString::FromQString(file), delay, 0});
    ShowList();
  }

  void Move(int step) {
    const int row = m_list->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= int(m_frames.size())) return;
    std::swap(m_frames[size_t(row)], m_frames[size_t(to)]);
    ShowList();
    m_list->setCurrentRow(to);
  }

  void Remove() {
    std::vector<tagFRAMEENTRY> kept;
    for (int i = 0; i < int(m_frames.size()); ++i)
      if (!m_list->item(i)->isSelected()) kept.push_back(m_frames[size_t(i)]);
    m_frames = std::move(kept);
    ShowList();
  }

  void Thin(int times) {
    for (int n = times; n > 1; n /= 2) CMovieMaker::HalfPictures(m_frames);
    ShowList();
  }

  void MoreOptions() {
    bool ok = false;
    const int n =
        QInputDialog::getInt(this, QStringLiteral("Resample Picture"),
                             QStringLiteral("Resample pictures  times"), 2, 1, 1000, 1, &ok);
    if (ok && CMovieMaker::Resample(m_frames, n)) ShowList();
  }

  void DelayChanged() {
    const int delay = m_delay->text().toInt();
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    for (int i = 0; i < int(m_frames.size()); ++i)
      if (selected.size() < 2 || m_list->item(i)->isSelected())
        m_frames[size_t(i)].nDurationMs = m_frames[size_t(i)].nOffsetMs + delay;
    ShowList();
  }

  void Preview() {
    const int row = m_list->currentRow();
    if (row < 0 || row >= int(m_frames.size())) return;
    QPixmap picture(m_frames[size_t(row)].strFile.ToQString());
    if (picture.isNull())
      m_preview->setText(QStringLiteral("No preview available ..."));
    else
      m_preview->setPixmap(picture.scaled(m_preview->size(), Qt::KeepAspectRatio));
  }

  void CreateMovie() {
    if (m_render.joinable() || m_frames.empty()) return;
    const bool wmv = !CMovieWriter::AvailableCodecs(MK_WMV).empty();
    QString filters = QStringLiteral("AVI Movie (*.AVI) (*.avi)");
    if (wmv) filters += QStringLiteral(";;WMV Movie (*.WMV) (*.wmv)");
    filters += QStringLiteral(";;MPEG Movie (*.MPG) (*.mpg)");
    QString chosen;
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Please enter the movie name:"), QString(), filters, &chosen);
    if (path.isEmpty()) return;
    tagMOVIEFORMAT format;
    format.nKind = chosen.startsWith("WMV") ? MK_WMV : chosen.startsWith("MPEG") ? MK_MPEG : MK_AVI;
    const QString suffix = format.nKind == MK_AVI ? "avi" : format.nKind == MK_WMV ? "wmv" : "mpg";
    if (QFileInfo(path).suffix().isEmpty()) path += "." + suffix;
    if (format.nKind == MK_WMV) {
      // One WMV encoder here: its index is remembered as the choice.
      CRegistry key(HKEY_CURRENT_USER, kSettingsKey, true);
      key.SetValue(u"WMV_CodecIndex", uint32_t(0));
    }
    if (format.nKind == MK_AVI) {
      const std::vector<std::string> codecs = CMovieWriter::AvailableCodecs(MK_AVI);
      if (codecs.empty()) {
        QMessageBox::critical(
            this, QStringLiteral("Codec Error"),
            QStringLiteral("You have no video codecs installed on this computer !"));
        return;
      }
      // Our compression dialog, the stored choice first.
      CRegistry key(HKEY_CURRENT_USER, kSettingsKey, true);
      MyString stored;
      key.GetValue(u"FourCC", stored);
      QStringList names;
      int current = 0;
      for (const std::string& codec : codecs) {
        if (MyString::FromUtf8(codec) == stored) current = int(names.size());
        names << QString::fromStdString(codec);
      }
      bool ok = false;
      const QString codec =
          QInputDialog::getItem(this, QStringLiteral("Video Compression"),
                                QStringLiteral("Compressor:"), names, current, false, &ok);
      if (!ok) return;
      format.strCodec = codec.toStdString();
      key.SetValue(u"FourCC", MyString::FromQString(codec));
    }
    {
      CRegistry key(HKEY_CURRENT_USER, kSettingsKey, true);
      uint32_t warn = 1;
      key.GetValue(u"ShowCreateMovieWarning", warn);
      if (warn) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
                        QStringLiteral("If the generated movie does not work, the size is too "
                                       "large, or the quality is too poor please try a different "
                                       "encoder and/or settings as the problem is most likely due "
                                       "to the encoder you are using."),
                        QMessageBox::Ok, this);
        auto* remind = new QCheckBox(QStringLiteral("Don't remind me again"), &box);
        box.setCheckBox(remind);
        box.exec();
        if (remind->isChecked()) key.SetValue(u"ShowCreateMovieWarning", uint32_t(0));
      }
    }
    StartRender(MyString::FromQString(path), format);
  }

  void StartRender(const MyString& path, const tagMOVIEFORMAT& format) {
    auto* progress = new QProgressDialog(QStringLiteral("Rendering, please wait ..."),
                                         QStringLiteral("Cancel"), 0, 100, this);
    progress->setWindowTitle(QStringLiteral("Frameloom"));
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    m_maker = std::make_unique<CMovieMaker>(
        [this](const MyString& file, MyString* error) { return m_pSource->Read(file, error); },
        [this](const MyString& file, SIZE* size) { return m_pSource->Dimensions(file, size); });
    CMovieMaker* maker = m_maker.get();
    connect(progress, &QProgressDialog::canceled, this, [progress, maker] {
      progress->setLabelText(QStringLiteral("Aborting ..."));
      progress->setCancelButton(nullptr);
      progress->show();
      maker->Stop();
    });
    setEnabled(false);
    progress->show();
    const std::vector<tagFRAMEENTRY> frames = m_frames;
    tagMOVIESETTINGS settings = Settings();
    if (!m_annotation.text.isEmpty()) {
      const Annotation annotation = m_annotation;
      settings.annotate = [annotation](tagLORIMOBITMAP* frame) {
        // The bitmap's bytes are B, G, R, A: Qt's ARGB32 on this machine.
        QImage image(frame->pPixels, frame->nWidth, frame->nHeight, frame->nStride,
                     QImage::Format_ARGB32);
        QPainter painter(&image);
        painter.setFont(annotation.font);
        const QRect area(annotation.origin, QPoint(frame->nWidth - 1, frame->nHeight - 1));
        if (!annotation.transparent) {
          painter.setBackgroundMode(Qt::OpaqueMode);
          painter.setBackground(annotation.background);
        }
        painter.setPen(annotation.colour);
        painter.drawText(area, Qt::TextDontClip | Qt::TextWordWrap, annotation.text);
      };
    }
    QPointer<QProgressDialog> bar(progress);
    m_render = std::thread([this, path, format, frames, settings, bar, maker] {
      MyString error;
      auto ask = [this](const MyString& file, const MyString& text) {
        int choice = LC_ABORT;
        QMetaObject::invokeMethod(
            this,
            [&] {
              const auto answer = QMessageBox::critical(
                  this, QStringLiteral("Frame Load Error"),
                  QStringLiteral("An error occured while loading %1\n%2")
                      .arg(file.ToQString(), text.ToQString()),
                  QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
              choice = answer == QMessageBox::Retry    ? LC_RETRY
                       : answer == QMessageBox::Ignore ? LC_IGNORE
                                                       : LC_ABORT;
            },
            Qt::BlockingQueuedConnection);
        return LOADCHOICE(choice);
      };
      auto step = [this, bar](int percent) {
        QMetaObject::invokeMethod(this, [bar, percent] {
          if (bar) bar->setValue(percent);
        });
      };
      const int result = maker->Render(path, format, frames, settings, ask, step, &error);
      QMetaObject::invokeMethod(this, [this, bar, result, error] { Finished(bar, result, error); });
    });
  }

  void Finished(QProgressDialog* progress, int result, const MyString& error) {
    if (m_render.joinable()) m_render.join();
    delete progress;
    setEnabled(true);
    switch (result) {
      case RR_DONE:
        QMessageBox::information(this, QStringLiteral("Success"),
                                 QStringLiteral("Movie creation complete."));
        break;
      case RR_STOPPED:
        QMessageBox::warning(this, QStringLiteral("Stop"),
                             QStringLiteral("Movie creation aborted."));
        break;
      case RR_SIZE_ERROR:
        QMessageBox::critical(this, QStringLiteral("Size Error"), error.ToQString());
        break;
      default:
        QMessageBox::critical(this, QStringLiteral("Error"), error.ToQString());
        break;
    }
  }

  IFrameSource* m_pSource;
  struct Annotation {
    QString text;
    QFont font;
    QColor colour = Qt::white;
    QColor background = Qt::black;
    bool transparent = true;
    QPoint origin;
  };
  Annotation m_annotation;
  std::vector<tagFRAMEENTRY> m_frames;
  std::unique_ptr<CMovieMaker> m_maker;
  std::thread m_render;
  QListWidget* m_list = nullptr;
  QLabel* m_preview = nullptr;
  QLineEdit* m_delay = nullptr;
  QCheckBox* m_allowDD = nullptr;
  QSlider* m_quality = nullptr;
  QCheckBox* m_replicate[Q_COUNT] = {};
  QComboBox* m_flips[Q_COUNT][2] = {};
};

// The plug-in object: plain, so that trying the library (no application
// object there) makes no widget; the dialog is made at the first command.
class CFrameloomPlugin : public CLorimoPlugin, public IFrameSource {
 public:
  void GetPluginInformation(CLorimoPluginInfo* info) override {
    CLorimoPlugin::GetPluginInformation(info);
    LorimoCopyText(info->szName, u"Frameloom");
    LorimoCopyText(info->szDescription, u"Turns a list of pictures into a movie");
    LorimoCopyText(info->szDeveloper, u"ZOKA");
    LorimoCopyText(info->szWebAddress, u"https://www.zoka.example/frameloom");
    LorimoCopyText(info->szSupportPhone, u"N/A");
  }
  void RegisterPlugin(HWND frame, HWND content) override {
    CLorimoPlugin::RegisterPlugin(frame, content);
    m_nCommand = int(RegisterNewTool(u"Frameloom"));
  }
  void ProcessCommand(int id) override {
    if (id != m_nCommand) return;
    if (!m_dialog) m_dialog = new CDlgFrameloom(this);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
  }
  int Shutdown() override {
    if (m_dialog) {
      m_dialog->StopRender();
      m_dialog->hide();
    }
    return 1;
  }

  // IFrameSource: requests 1 and 5, from the render thread.
  HBITMAP Read(const MyString& file, MyString* error) override {
    HBITMAP bitmap = ReadImage(file.c_str());
    if (!bitmap) *error = GetLastErrorMessage();
    return bitmap;
  }
  bool Dimensions(const MyString& file, SIZE* size) override {
    return GetDimensions(file.c_str(), size) == 1;
  }

 private:
  int m_nCommand = 0;
  QPointer<CDlgFrameloom> m_dialog;
};

CFrameloomPlugin gPlugin;

}  // namespace

LORIMO_PLUGIN_EXPORTS(&gPlugin)
