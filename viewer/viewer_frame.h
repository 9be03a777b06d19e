#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/factory.h"
#include "viewer/detail_rows.h"
#include "viewer/picture_info.h"
#include "viewer/viewer_messages.h"
#include "viewer/viewer_text.h"

namespace tagscope {

class TID3Engine;

// The viewer window: a file's ID3 tag, read-only, on the pages "Standard", "Comments",
// "Pictures", "Urls" and "Details" (the audio facts, the tag's own facts and every frame the
// other pages leave out), built on a UI backend as a hidden child of a host window.
//
// The controls are public fields under their form names; the form owns them. Tag holds the host
// window, to which the Open and Exit commands report.
class TViewerFrame {
 public:
  // Builds the form and its controls as a hidden child of parent, then runs FormCreate.
  TViewerFrame(TWidgetFactory& factory, TNativeHandle parent);
  // Runs FormDestroy, then frees the engine and every control.
  ~TViewerFrame();
  TViewerFrame(const TViewerFrame&) = delete;
  TViewerFrame& operator=(const TViewerFrame&) = delete;

  // Shows the tag of a file; raises what the engine raises.
  void LoadFile(const std::string& path);
  // The type name reported to the host for every file.
  std::string GetFileType() const { return "MP3 File"; }
  // Frees every picture of lbPictures with its bytes and empties the list.
  void ClearPictures();

  // The command message handler of the form's window (also for commands the host routes here).
  void WMCommand(const TCommandMessage& message);

  TForm& Form() const { return *FForm; }
  TWidgetFactory& Factory() const { return FFactory; }
  TNativeHandle Handle() const { return FForm->Handle(); }
  TNativeHandle Tag() const { return FForm->Tag(); }
  void SetTag(TNativeHandle hostWindow) { FForm->SetTag(hostWindow); }
  void Show() { FForm->Show(); }
  TID3Engine& TagEngine() const { return *FTagEngine; }

  // Event handlers.
  void FormCreate(TForm& sender);
  void FormDestroy(TForm& sender);
  void FormResize(TForm& sender);
  void actFileOpenExecute(TAction& sender);
  void actFileExitExecute(TAction& sender);
  void lvCommentsSelectItem(TListView& sender, int row, bool selected);
  void lbPicturesClick(TListBox& sender);
  void lvUrlsCustomDrawSubItem(TListView& sender, int row, int subItem, TCustomDrawState state,
                               TDrawFont& font, bool& defaultDraw);
  void lvUrlsClick(TListView& sender);
  void lvDetailsSelectItem(TListView& sender, int row, bool selected);
  void lvDetailsCustomDrawSubItem(TListView& sender, int row, int subItem, TCustomDrawState state,
                                  TDrawFont& font, bool& defaultDraw);

  // Non-visual components.
  TImageList* ImageList1 = nullptr;
  TActionList* ActionList1 = nullptr;
  TAction* actFileOpen = nullptr;
  TAction* actFileExit = nullptr;
  TMainMenu* MainMenu1 = nullptr;
  TMenuItem* File1 = nullptr;
  TMenuItem* Open1 = nullptr;
  TMenuItem* N2 = nullptr;
  TMenuItem* Exit1 = nullptr;
  TOpenDialog* OpenDialog = nullptr;

  // On the form.
  TToolBar* ToolBar1 = nullptr;
  TPageControl* PageControl1 = nullptr;

  // Page "Standard".
  TTabSheet* TabSheet1 = nullptr;
  TLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr,
         *Label5 = nullptr, *Label6 = nullptr, *Label9 = nullptr, *Label10 = nullptr,
         *Label11 = nullptr, *Label12 = nullptr, *Label13 = nullptr, *Label14 = nullptr,
         *Label15 = nullptr, *Label16 = nullptr, *Label17 = nullptr;
  TEdit *edTitle = nullptr, *edArtist = nullptr, *edAlbum = nullptr, *edComposer = nullptr,
        *edBand = nullptr, *edConductor = nullptr, *edLyricist = nullptr, *edGenre = nullptr,
        *edMood = nullptr, *edPublisher = nullptr, *edYear = nullptr, *edTrack = nullptr,
        *edTracks = nullptr, *edDisk = nullptr, *edDisks = nullptr;

  // Page "Comments".
  TTabSheet* TabSheet2 = nullptr;
  TListView* lvComments = nullptr;
  TLabel* Label7 = nullptr;
  TEdit* edCommDesc = nullptr;
  TLabel* Label8 = nullptr;
  TEdit* edComments = nullptr;

  // Page "Pictures".
  TTabSheet* TabSheet3 = nullptr;
  TListBox* lbPictures = nullptr;
  TStaticText* txtImageSize = nullptr;
  TLabel* Label18 = nullptr;
  TEdit* edPictureDesc = nullptr;
  TPanel* pnlPicture = nullptr;
  TImage* imgPicture = nullptr;

  // Page "Urls".
  TTabSheet* TabSheet4 = nullptr;
  TListView* lvUrls = nullptr;

  // Page "Details".
  TTabSheet* TabSheet5 = nullptr;
  TListView* lvDetails = nullptr;
  TEdit* edDetail = nullptr;

 private:
  // Layout: builds the components in creation order (viewer_layout.cpp).
  void CreateComponents(TNativeHandle parent);
  void CreateActionsAndMenu();
  void CreateStandardPage();
  void CreateCommentsPage();
  void CreatePicturesPage();
  void CreateUrlsPage();
  void CreateDetailsPage();
  void BindEvents();
  template <class T>
  T* Own(std::unique_ptr<T> component) {
    return FComponents.Adopt(std::move(component));
  }

  // LoadFile's steps.
  void ReopenEngine(const std::string& path);
  void FillStandardFields();
  void FillComments();
  void FillPictures();
  void FillLinks();
  void FillDetails();
  void ResetPreview();

  TWidgetFactory& FFactory;
  TForm* FForm = nullptr;
  TComponentList FComponents;
  std::unique_ptr<TID3Engine> FTagEngine;
  // The rows of lvDetails as built, each with its whole value for edDetail and whether it
  // heads a group.
  std::vector<TDetailRow> FDetailRows;
};

}  // namespace tagscope
