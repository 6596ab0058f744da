#include "session/Grids.hpp"

#include "base/Platform.hpp"
#include "base/Text.hpp"
#include "grid/Interpolation.hpp"

namespace tessmar {

std::vector<std::string> SourceFolders(const TSession& session) {
  std::vector<std::string> folders{session.DataDir};
  folders.insert(folders.end(), session.SourceDirs.begin(), session.SourceDirs.end());
  return folders;
}

std::string SourceFolder(const TSession& session, const TGeoidModel& model) {
  for (const std::string& folder : SourceFolders(session))
    if (PathExists(ModelFilePath(folder, model))) return folder;
  return session.DataDir;
}

TModelStatus ModelStatus(const TSession& session, const TGeoidModel& model) {
  const std::string folder = SourceFolder(session, model);
  const TSourceOpen opened = OpenSource(folder, model);
  TModelStatus status;
  status.Path = ModelFilePath(folder, model);
  status.Found = opened.Failure != TSourceFailure::NotFound;
  status.Usable = opened.Grid != nullptr;
  if (!status.Found)
    status.Reason = "missing";
  else if (!status.Usable)
    status.Reason = opened.Reason.empty() ? "no grid geometry" : opened.Reason;
  return status;
}

bool OpenModel(TSession& session, const TGeoidModel& model) {
  session.SourceGrid.reset();  // one open file per grid: the old one goes first
  TSourceOpen opened = OpenSource(SourceFolder(session, model), model);
  session.SourceGrid = std::move(opened.Grid);
  if (session.SourceGrid) return true;
  session.View.CenteredMessageDlg(SourceOpenText(session, model, opened), TMsgDlgType::Error, mbOK, 0);
  return false;
}

std::string SourceOpenText(const TSession& session, const TGeoidModel& model, const TSourceOpen& opened) {
  if (opened.Failure == TSourceFailure::NotUsable)
    return "Geoid file is not usable: \r\n" + model.fname + "\r\n\r\n" + opened.Reason;
  std::string text = "Geoid file is not found: \r\n" + model.fname;
  if (!session.SourceDirs.empty()) {
    text += "\r\n\r\nLooked in:";
    for (const std::string& folder : SourceFolders(session)) text += "\r\n" + folder;
  }
  return text;
}

int SelectedModelIndex(const TGeoidModels& models, std::string_view title) { return title == models[0].title ? 0 : 1; }

void OpenSelectedModel(TSession& session, int model) {
  if (model == 0) {
    OpenModel(session, session.GeoidModels[0]);
    session.View.SetText(TControl::RadioButton0, "2.5'");
  } else {
    session.View.SetText(TControl::ComboBoxGeoid, session.GeoidModels[1].title);
    OpenModel(session, session.GeoidModels[1]);
    session.View.SetText(TControl::RadioButton0, "1.0'");
  }
}

void CloseSource(TSession& session) { session.SourceGrid.reset(); }

std::string CustomGeoidFileName(const TSession& session, const std::string& name) {
  return CustomFilePath(session.CustomDir.empty() ? session.DataDir : session.CustomDir, name, session.OutputExt);
}

bool OpenCustomFile(TSession& session, const std::string& path) {
  session.CustomGrid.reset();
  TCustomOpen opened = OpenCustomGrid(path);
  session.CustomGrid = std::move(opened.Grid);
  switch (opened.Failure) {
    case TCustomFailure::None: return true;
    case TCustomFailure::Illegal:
      session.View.CenteredMessageDlg("Illegal Custom geoid file: \r\n\r\n" + path, TMsgDlgType::Error, mbOK, 0);
      return false;
    case TCustomFailure::NotFound: break;
  }
  session.View.CenteredMessageDlg(IsFolder(path) ? "Geoid file is not usable: \r\n" + path + "\r\n\r\nit is a folder"
                                                 : "Geoid file is not found: \r\n" + path,
                                  TMsgDlgType::Error, mbOK, 0);
  return false;
}

void CloseCustomFile(TSession& session) {
  session.CustomGrid.reset();
  session.SourceGrid.reset();
}

bool CustomIsOpen(const TSession& session) { return session.CustomGrid != nullptr; }

std::int64_t CustomFileSize(const TSession& session) { return session.CustomGrid ? session.CustomGrid->FileSize() : 0; }

double SourceValue(const TSession& session, double lat, double lon) {
  return SourceValue(session.SourceGrid.get(), lat, lon);
}

float CustomValue(const TSession& session, double lat, double lon) {
  return CustomValue(session.CustomGrid.get(), lat, lon);
}

float NearestNode(const TSession& session, double lat, double lon) {
  return session.SourceGrid ? NearestNode(*session.SourceGrid, lat, lon) : NoValue();
}

}  // namespace tessmar
