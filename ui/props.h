#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/types.h"

namespace tagscope {

class TImageList;

// What every window control is created with: the form description's values for it.
// A backend creates the native control from these once and keeps them; the control's
// changing state (texts, rows, visibility, bounds) then goes through the widget's operations.
struct TControlProps {
  std::string Name;
  TBounds Bounds;
  std::string Caption;  // initial caption or text
  int TabOrder = -1;    // position in the parent's tab order; -1 when not a tab stop
  bool Visible = true;
  TAlign Align = TAlign::alNone;   // alClient: fills the parent's client area and follows it
  std::optional<TFontProps> Font;  // unset: the parent's font
  TCursor Cursor = TCursor::crDefault;
};

// The form itself: a borderless child window of a foreign parent, created hidden.
struct TFormProps {
  std::string Name;
  std::string Caption;
  int ClientWidth = 0;
  int ClientHeight = 0;
  TColor Color = clBtnFace;
  TFontProps Font;
  int PixelsPerInch = 96;
  int TextHeight = 13;
};

// The form as a control: its client area at the origin, hidden until shown.
inline TControlProps FormControlProps(const TFormProps& props) {
  TControlProps result;
  result.Name = props.Name;
  result.Caption = props.Caption;
  result.Bounds = {0, 0, props.ClientWidth, props.ClientHeight};
  result.Visible = false;
  result.Font = props.Font;
  return result;
}

// Tab pages: the page control starts on its first page.
struct TPageControlProps : TControlProps {};
struct TTabSheetProps : TControlProps {};  // Caption is the tab's text; bounds come from the pages

// Plain text. With WordWrap the caption breaks onto further lines within Bounds.Width;
// without AutoSize the bounds are kept as given.
struct TLabelProps : TControlProps {
  bool WordWrap = false;
  bool AutoSize = true;
};

// Single- or multi-line edit.
struct TEditProps : TControlProps {
  bool ReadOnly = false;
  bool MultiLine = false;
  TScrollStyle ScrollBars = TScrollStyle::ssNone;
};

// One column of a report-view list. Width -2 makes the column fill the rest of the row.
struct TListColumn {
  std::string Caption;
  int Width = 50;
};
inline constexpr int ColumnAutoFill = -2;

// A list view in report view.
struct TListViewProps : TControlProps {
  std::vector<TListColumn> Columns;
  bool RowSelect = false;     // the whole row is selected and clickable
  bool HideSelection = true;  // false: the selection stays visible without focus
  bool ReadOnly = false;      // true: no in-place editing of captions
};

// A list box of text entries, each of which may carry an object.
struct TListBoxProps : TControlProps {
  int ItemHeight = 13;
};

// Static text with an optional border.
struct TStaticTextProps : TControlProps {
  TAlignment Alignment = TAlignment::taLeftJustify;
  bool AutoSize = true;
  TStaticBorderStyle BorderStyle = TStaticBorderStyle::sbsNone;
};

// A panel: a bevelled area that can hold controls and shows its caption centred in its font.
struct TPanelProps : TControlProps {
  TBevelCut BevelInner = TBevelCut::bvNone;
  TBevelCut BevelOuter = TBevelCut::bvRaised;
};

// An image control that draws a bitmap; with Stretch the bitmap fills the whole control,
// its aspect ratio not kept.
struct TImageProps : TControlProps {
  bool Stretch = false;
};

// A toolbar of image buttons.
struct TToolBarProps : TControlProps {
  bool Flat = false;
  bool ShowHint = false;       // tooltips from the buttons' hints
  bool ParentShowHint = true;  // false: ShowHint is the toolbar's own
  TImageList* Images = nullptr;
};

// An image list of equally sized images.
struct TImageListProps {
  std::string Name;
  int Width = 16;
  int Height = 16;
};

// Options of the file-open dialog.
using TOpenOptions = unsigned;
inline constexpr TOpenOptions ofHideReadOnly = 1;   // no read-only check box
inline constexpr TOpenOptions ofPathMustExist = 2;  // the folder must exist
inline constexpr TOpenOptions ofFileMustExist = 4;  // the file must exist
inline constexpr TOpenOptions ofEnableSizing = 8;   // the dialog can be resized

struct TOpenDialogProps {
  std::string Name;
  // Pairs of display text and pattern, separated by '|': "MP3 Files (*.mp3)|*.mp3".
  std::string Filter;
  TOpenOptions Options = 0;
  std::string Title;       // empty: the system's default title
  std::string InitialDir;  // empty: the system's choice
  std::string DefaultExt;  // empty: none
};

}  // namespace tagscope
