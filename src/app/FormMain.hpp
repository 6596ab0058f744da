// TFormMain: the main window. It implements the core's view over its widgets;
// each handler translates the widgets to a core operation and back. While a
// conversion or scan runs (Busy), no handler may close or replace the grids it
// reads: such handlers are refused or deferred until the operation returns.
// Not thread-safe: a widget, used on the GUI thread only.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "accuracy/Scan.hpp"
#include "app/Taskbar.hpp"
#include "formats/Loader.hpp"
#include "option/Settings.hpp"
#include "picture/Map.hpp"
#include "placement/Placement.hpp"
#include "session/Session.hpp"
#include "session/View.hpp"

namespace tessmar {

class TFormReport;
class TEscapeWatch;
class TFormMap;
class TLinkLabel;

class TFormMain : public QWidget, public TView {
  Q_OBJECT
 public:
  // exePath decides where the settings file lives; arguments are the command
  // line's files (the program's own path excluded).
  explicit TFormMain(std::string exePath, QStringList arguments = {});
  ~TFormMain() override;

  TSession& Session() { return FSession; }
  TFormReport* FormReport() const { return FFormReport; }
  TFormMap* FormMap() const { return FFormMap; }

  // Seams the tests script in place of the modal dialogs.
  std::function<TModalResult(const std::string& text, TMsgDlgType, TMsgDlgButtons)> DialogHook;
  std::function<void(const std::string& text)> GeneralErrorHook;
  std::function<std::optional<std::string>(const std::string& folder, const std::string& file,
                                           const std::string& filter)>
      FileDialogHook;
  int SourceReleases = 0;  // how often the source grid was released at close

  // What the controls hold: the window's own reading of them, for its handlers.
  std::string Text(TControl control) const;
  bool Checked(TControl control) const;
  TInputs Inputs() const;        // as the settings file carries them
  TSelection Selection() const;  // the model and the custom file name
  TConversionPlan Plan() const;  // the corners (ParseCoordinate) and the resolution
  TWindowPosition Position() const;

  // TView.
  void SetText(TControl control, const std::string& text) override;
  void SetChecked(TControl control, bool checked) override;
  TModalResult CenteredMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                                  int helpContext) override;
  void ShowGeneralError(const std::string& text) override;
  void ProcessMessages() override;
  void SetProgressPosition(int position) override;
  void SetProgressVisible(bool visible) override;
  std::uint64_t TaskbarMaximum() const override { return FTaskbar.ProgressMaxValue(); }
  void SetTaskbarValue(std::int64_t value) override { FTaskbar.SetProgressValue(value); }
  void SetTaskbarState(TTaskBarProgressState state) override { FTaskbar.SetProgressState(state); }
  void ReportClear() override;
  void ReportAppend(const std::string& line) override;
  void ReportShow() override;
  void PlaceOnWorkArea(std::int32_t& top, std::int32_t& left) override;
  void SetWindowTopLeft(std::int32_t top, std::int32_t left) override;
  void SetGeoidList(const std::string& first, const std::string& second) override;
  void SetOpenDialog(const std::string& folder, const std::string& filter) override;
  int LogicalDpiX() const override;
  void SetFonts(std::uint8_t charset, const std::string& name, int size) override;

  TRect MonitorWorkArea() const;
  const TTaskbar& Taskbar() const { return FTaskbar; }
  bool Activated() const { return FActivated; }
  bool LocatePending() const { return FLocatePending; }

  // Handlers.
  void FormActivate();
  void ApplicationEvents1Idle();
  void ButtonConvertClick();
  void ButtonCalcClick();
  void Button1Click();
  void LabelReportClick();
  void LabelMapClick();
  // Renders the map again at the next idle moment, when its window is shown.
  void RequestMapRedraw();
  // A coordinate field whose text the command line would refuse gets a tinted
  // frame and a tooltip with the window's reading of it and the reason; the
  // reading itself stays the window's own. Nothing moves, nothing is modal.
  void MarkCoordinate(QLineEdit* edit);
  void RedrawMap();
  void ButtonExitClick();
  void EditFnameChange();
  void ComboBoxGeoidSelect();
  void LabelOutFnameClick();
  void LocateSourceFile();
  void TakeCommandLineFiles();
  void WMDropFiles(const QStringList& paths);

 protected:
  bool event(QEvent* e) override;
  void changeEvent(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void CreateControls();
  // Places the controls from the design's positions by the window's font and style.
  void LayOut();
  void WireControls();
  void AfterLongOperation();
  // After a settings file is read: its unknown model said and replaced, and the
  // inputs it took from the window (when `after` another file) kept in mind.
  void SettingsLoaded(const std::optional<TLoadedSettings>& loaded, bool after);
  static const std::string* InputOf(const TInputs& inputs, const std::string& key);
  void ShowScanPicture(const TScanResult& result, std::shared_ptr<THeatMap> heat);
  std::optional<std::string> RunFileDialog(const std::string& file, const std::string& filter);
  QWidget* Control(TControl control) const { return FControls[static_cast<std::size_t>(control)]; }
  // The six coordinate fields: Enter in any of them runs the point check.
  std::array<QLineEdit*, 6> CoordinateFields() const {
    return {EditLat1, EditLon1, EditLat2, EditLon2, EditLat, EditLon};
  }

  std::string FExePath;
  QStringList FArguments;
  TSession FSession{*this};
  QElapsedTimer FLastPump;  // ProcessMessages runs the event loop once a frame at most
  TTaskbar FTaskbar{this};
  TFormReport* FFormReport = nullptr;
  std::unique_ptr<TEscapeWatch> FEscapeWatch;
  TFormMap* FFormMap = nullptr;
  // The map's inputs that are not fields: the relief of the model last drawn
  // (its file and frame), the coastlines of the resolution last drawn, the
  // typeface, the last complete scan's picture and extremes.
  std::unique_ptr<TRelief> FRelief;
  std::string FReliefPath;
  TCoastlines FCoast;
  char FCoastResolution = 0;
  std::unique_ptr<TFont> FFont;
  std::shared_ptr<THeatMap> FHeat;
  std::optional<TScanExtreme> FScanMax, FScanMin;
  bool FMapRedrawPending = false;
  std::array<QWidget*, ControlCount> FControls{};
  QHash<const QWidget*, QRect> FDesign;
  std::vector<std::pair<std::string, std::string>>
      FInherited;  // key, value shown: not the file's own  // every control's place in the design
  bool FActivated = false;
  bool FLocatePending = false;
  bool FCloseDeferred = false;       // the window was closed during a long operation
  bool FCustomClosePending = false;  // EditFname changed during a long operation
  bool FClosed = false;

  // Controls, by their layout names; others find them by object name.
  QPushButton* ButtonExit;
  QLabel* LabelReport;
  TLinkLabel* LabelMap;
  QGroupBox *GroupBoxCkeck, *GroupBoxMake, *GroupBoxError;
  QLabel *Label1, *Label2, *Label3, *Label4, *Label6, *Label7, *Label8, *Label9, *Label11, *Label12, *Label13, *Label14;
  QLineEdit *EditLat, *EditLon, *EditGeoid, *EditCustomGeoid, *EditError;
  QPushButton* ButtonCalc;
  QLabel* LabelOutFname;
  QLineEdit *EditLat1, *EditLat2, *EditLon1, *EditLon2, *EditFname;
  QPushButton* ButtonConvert;
  QComboBox* ComboBoxGeoid;
  QRadioButton *RadioButton0, *RadioButton5, *RadioButton10, *RadioButton15, *RadioButton20;
  QLabel *LabelMinG, *LabelMaxG, *LabelReso, *LabelMakeReport;
  QPushButton* Button1;
  QProgressBar* ProgressBar1;
  QComboBox* ComboBoxPrecision;

  // The file dialog's settings (OpenDialog1).
  std::string FDialogFolder, FDialogFile, FDialogFilter = "All|*.*";
  std::uint8_t FOpenDialog1MoveFlag = 0;
};

// "Tessmar Ver" + major "." two-digit minor: 2.5.0.0 gives "Tessmar Ver2.05".
std::string VersionCaptionText(int major, int minor);

}  // namespace tessmar
