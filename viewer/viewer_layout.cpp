// The form's controls as its form description defines them: positions, sizes, captions,
// options and tab order.
#include <cstring>

#include "viewer/open_folder_glyph.h"
#include "viewer/viewer_frame.h"

namespace tagscope {

namespace {

constexpr int kClientWidth = 404;
constexpr int kClientHeight = 389;
constexpr int kEditHeight = 21;
constexpr int kLabelHeight = 13;

TFontProps FormFont() {
  return TFontProps{"MS Sans Serif", -11, clWindowText, 0};
}

template <class TProps>
TProps Props(const char* name, TBounds bounds, int tabOrder = -1, const char* caption = "") {
  TProps props;
  props.Name = name;
  props.Bounds = bounds;
  props.TabOrder = tabOrder;
  props.Caption = caption;
  return props;
}

TLabelProps LabelProps(const char* name, const char* caption, int left, int top) {
  // Plain labels size themselves to their caption; the width here is what it measures.
  const int width = static_cast<int>(std::strlen(caption)) * 6;
  return Props<TLabelProps>(name, {left, top, width, kLabelHeight}, -1, caption);
}

TEditProps ReadOnlyEdit(const char* name, TBounds bounds, int tabOrder) {
  auto props = Props<TEditProps>(name, bounds, tabOrder);
  props.ReadOnly = true;
  return props;
}

TEditProps ReadOnlyMemo(const char* name, TBounds bounds, int tabOrder) {
  auto props = ReadOnlyEdit(name, bounds, tabOrder);
  props.MultiLine = true;
  props.ScrollBars = TScrollStyle::ssVertical;
  return props;
}

TListViewProps ReportList(const char* name, const char* secondColumn,
                          TBounds bounds = {8, 8, 348, 97},
                          const char* firstColumn = "Description") {
  auto props = Props<TListViewProps>(name, bounds, 0);
  props.Columns = {{firstColumn, 100}, {secondColumn, ColumnAutoFill}};
  props.RowSelect = true;
  props.HideSelection = false;
  props.ReadOnly = true;
  return props;
}

// One row of the "Standard" page: a label and the read-only field beside it.
struct TFieldRow {
  const char* LabelName;
  const char* Caption;
  int LabelLeft, LabelTop;
  TEdit* TViewerFrame::*Field;
  const char* FieldName;
  int FieldLeft, FieldTop, FieldWidth;
  TLabel* TViewerFrame::*Label;
};

const TFieldRow kStandardRows[] = {
    {"Label1", "Title", 8, 15, &TViewerFrame::edTitle, "edTitle", 68, 12, 288,
     &TViewerFrame::Label1},
    {"Label2", "Artist", 8, 42, &TViewerFrame::edArtist, "edArtist", 68, 39, 288,
     &TViewerFrame::Label2},
    {"Label3", "Album", 8, 69, &TViewerFrame::edAlbum, "edAlbum", 68, 66, 288,
     &TViewerFrame::Label3},
    {"Label6", "Composer", 8, 96, &TViewerFrame::edComposer, "edComposer", 68, 93, 288,
     &TViewerFrame::Label6},
    {"Label9", "Band/ Orchestra", 8, 120, &TViewerFrame::edBand, "edBand", 68, 120, 288,
     &TViewerFrame::Label9},
    {"Label10", "Conductor", 8, 151, &TViewerFrame::edConductor, "edConductor", 68, 148, 288,
     &TViewerFrame::Label10},
    {"Label11", "Lyricist", 8, 178, &TViewerFrame::edLyricist, "edLyricist", 68, 175, 288,
     &TViewerFrame::Label11},
    {"Label4", "Genre", 8, 204, &TViewerFrame::edGenre, "edGenre", 68, 202, 288,
     &TViewerFrame::Label4},
    {"Label12", "Mood", 8, 231, &TViewerFrame::edMood, "edMood", 68, 229, 288,
     &TViewerFrame::Label12},
    {"Label13", "Publisher", 8, 258, &TViewerFrame::edPublisher, "edPublisher", 68, 256, 288,
     &TViewerFrame::Label13},
    {"Label5", "Year Recorded", 8, 289, &TViewerFrame::edYear, "edYear", 90, 286, 45,
     &TViewerFrame::Label5},
    {"Label14", "Track", 8, 321, &TViewerFrame::edTrack, "edTrack", 43, 318, 30,
     &TViewerFrame::Label14},
    {"Label15", "of", 80, 321, &TViewerFrame::edTracks, "edTracks", 97, 318, 30,
     &TViewerFrame::Label15},
    {"Label16", "Disk", 152, 321, &TViewerFrame::edDisk, "edDisk", 187, 318, 30,
     &TViewerFrame::Label16},
    {"Label17", "of", 224, 321, &TViewerFrame::edDisks, "edDisks", 241, 318, 30,
     &TViewerFrame::Label17},
};

}  // namespace

void TViewerFrame::CreateComponents(TNativeHandle parent) {
  TFormProps form;
  form.Name = "ViewerFrame";
  form.Caption = "ViewerFrame";
  form.ClientWidth = kClientWidth;
  form.ClientHeight = kClientHeight;
  form.Color = clBtnFace;
  form.Font = FormFont();
  FForm = Own(FFactory.CreateForm(parent, form));

  ImageList1 = Own(FFactory.CreateImageList({"ImageList1", 16, 16}));
  ImageList1->Add(OpenFolderGlyph(), OpenFolderGlyphTransparentColor);
  CreateActionsAndMenu();
  TOpenDialogProps dialog;
  dialog.Name = "OpenDialog";
  dialog.Filter = "MP3 Files (*.mp3)|*.mp3";
  dialog.Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist | ofEnableSizing;
  OpenDialog = Own(FFactory.CreateOpenDialog(dialog));

  auto toolBar = Props<TToolBarProps>("ToolBar1", {0, 0, 69, 24}, 0, "ToolBar1");
  toolBar.Visible = false;
  toolBar.Flat = true;
  toolBar.ShowHint = true;
  toolBar.ParentShowHint = false;
  toolBar.Images = ImageList1;
  ToolBar1 = Own(FFactory.CreateToolBar(*FForm, toolBar));
  ToolBar1->AddButton({"ToolButton1", 0, "Open", actFileOpen});

  auto pages = Props<TPageControlProps>("PageControl1", {0, 0, kClientWidth, kClientHeight}, 1);
  pages.Align = TAlign::alClient;
  PageControl1 = Own(FFactory.CreatePageControl(*FForm, pages));
  CreateStandardPage();
  CreateCommentsPage();
  CreatePicturesPage();
  CreateUrlsPage();
  CreateDetailsPage();
  FForm->SetActiveControl(PageControl1);
}

void TViewerFrame::CreateActionsAndMenu() {
  ActionList1 = Own(std::make_unique<TActionList>("ActionList1"));
  ActionList1->Images = ImageList1;
  actFileOpen = ActionList1->Add("actFileOpen");
  actFileOpen->Caption = "&Open...";
  actFileOpen->Hint = "Open";
  actFileOpen->ImageIndex = 0;
  actFileOpen->ShortCut = vkF3;
  actFileExit = ActionList1->Add("actFileExit");
  actFileExit->Caption = "E&xit";
  actFileExit->ShortCut = vkEscape;

  auto items = std::make_unique<TMenuItem>("MainMenu1");
  File1 = items->Add(std::make_unique<TMenuItem>("File1", "&File"));
  Open1 = File1->Add(std::make_unique<TMenuItem>("Open1", "", actFileOpen));
  N2 = File1->Add(std::make_unique<TMenuItem>("N2", "-"));
  Exit1 = File1->Add(std::make_unique<TMenuItem>("Exit1", "", actFileExit));
  MainMenu1 = Own(FFactory.CreateMainMenu("MainMenu1", std::move(items)));
}

void TViewerFrame::CreateStandardPage() {
  TabSheet1 = Own(FFactory.CreateTabSheet(*PageControl1,
                                          Props<TTabSheetProps>("TabSheet1", {}, -1, "Standard")));
  int tabOrder = 0;
  for (const TFieldRow& row : kStandardRows) {
    auto label = LabelProps(row.LabelName, row.Caption, row.LabelLeft, row.LabelTop);
    if (row.Label == &TViewerFrame::Label9) {
      label.Bounds = {8, 120, 46, 26};
      label.WordWrap = true;
      label.AutoSize = false;
    }
    this->*row.Label = Own(FFactory.CreateLabel(*TabSheet1, label));
    this->*row.Field = Own(FFactory.CreateEdit(
        *TabSheet1,
        ReadOnlyEdit(row.FieldName, {row.FieldLeft, row.FieldTop, row.FieldWidth, kEditHeight},
                     tabOrder++)));
  }
}

void TViewerFrame::CreateCommentsPage() {
  TabSheet2 = Own(FFactory.CreateTabSheet(*PageControl1,
                                          Props<TTabSheetProps>("TabSheet2", {}, -1, "Comments")));
  lvComments = Own(FFactory.CreateListView(*TabSheet2, ReportList("lvComments", "Comments")));
  Label7 = Own(FFactory.CreateLabel(*TabSheet2, LabelProps("Label7", "Description", 8, 115)));
  edCommDesc =
      Own(FFactory.CreateEdit(*TabSheet2, ReadOnlyEdit("edCommDesc", {74, 112, 282, 21}, 1)));
  Label8 = Own(FFactory.CreateLabel(*TabSheet2, LabelProps("Label8", "Comments", 8, 139)));
  edComments =
      Own(FFactory.CreateEdit(*TabSheet2, ReadOnlyMemo("edComments", {74, 139, 282, 89}, 2)));
}

void TViewerFrame::CreatePicturesPage() {
  TabSheet3 = Own(FFactory.CreateTabSheet(*PageControl1,
                                          Props<TTabSheetProps>("TabSheet3", {}, -1, "Pictures")));
  auto list = Props<TListBoxProps>("lbPictures", {8, 8, 192, 147}, 0);
  list.ItemHeight = 13;
  lbPictures = Own(FFactory.CreateListBox(*TabSheet3, list));

  auto size = Props<TStaticTextProps>("txtImageSize", {8, 161, 193, 18}, 1);
  size.Alignment = TAlignment::taCenter;
  size.AutoSize = false;
  size.BorderStyle = TStaticBorderStyle::sbsSunken;
  txtImageSize = Own(FFactory.CreateStaticText(*TabSheet3, size));

  Label18 = Own(FFactory.CreateLabel(*TabSheet3, LabelProps("Label18", "Description", 8, 185)));
  edPictureDesc =
      Own(FFactory.CreateEdit(*TabSheet3, ReadOnlyMemo("edPictureDesc", {8, 201, 348, 57}, 2)));

  auto panel = Props<TPanelProps>("pnlPicture", {207, 8, 148, 148}, 3);
  panel.BevelInner = TBevelCut::bvRaised;
  panel.Font = TFontProps{"MS Sans Serif", -11, clMaroon, 0};
  pnlPicture = Own(FFactory.CreatePanel(*TabSheet3, panel));

  auto image = Props<TImageProps>("imgPicture", {2, 2, 144, 144});
  image.Stretch = true;
  imgPicture = Own(FFactory.CreateImage(*pnlPicture, image));
}

void TViewerFrame::CreateUrlsPage() {
  TabSheet4 = Own(
      FFactory.CreateTabSheet(*PageControl1, Props<TTabSheetProps>("TabSheet4", {}, -1, "Urls")));
  auto list = ReportList("lvUrls", "URL");
  list.Cursor = TCursor::crHandPoint;
  lvUrls = Own(FFactory.CreateListView(*TabSheet4, list));
}

// The list fills the upper part of the page, the selected row's whole value the lower, in the
// margins and kinds of the "Comments" page.
void TViewerFrame::CreateDetailsPage() {
  TabSheet5 = Own(FFactory.CreateTabSheet(*PageControl1,
                                          Props<TTabSheetProps>("TabSheet5", {}, -1, "Details")));
  lvDetails = Own(FFactory.CreateListView(
      *TabSheet5, ReportList("lvDetails", "Value", {8, 8, 348, 217}, "Property")));
  edDetail = Own(FFactory.CreateEdit(*TabSheet5, ReadOnlyMemo("edDetail", {8, 231, 348, 97}, 1)));
}

}  // namespace tagscope
