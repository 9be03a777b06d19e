#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "ui/headless/headless_factory.h"
#include "ui/headless/headless_lists.h"
#include "ui/headless/headless_widgets.h"

namespace tagscope {
namespace {

class HeadlessTest : public ::testing::Test {
 protected:
  THeadlessFactory factory;
  std::unique_ptr<TForm> form = factory.CreateForm(0x4242, FormProps());

  static TFormProps FormProps() {
    TFormProps props;
    props.Name = "Form";
    props.ClientWidth = 404;
    props.ClientHeight = 389;
    return props;
  }
  template <class TProps>
  static TProps Props(const char* name, TBounds bounds = {8, 8, 100, 50}) {
    TProps props;
    props.Name = name;
    props.Bounds = bounds;
    return props;
  }
};

TEST_F(HeadlessTest, FormStartsHiddenAtItsClientSizeInsideTheParent) {
  auto& headless = AsHeadless<THeadlessForm>(form.get());
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(form->Bounds(), (TBounds{0, 0, 404, 389}));
  EXPECT_EQ(headless.ParentWindow(), 0x4242u);
  EXPECT_NE(form->Handle(), 0u);
}

TEST_F(HeadlessTest, ResizeFiresOnlyWhenTheSizeChangesAndFillingChildrenFollow) {
  auto pages = factory.CreatePageControl(*form, [] {
    auto p = Props<TPageControlProps>("PageControl1");
    p.Align = TAlign::alClient;
    return p;
  }());
  auto page = factory.CreateTabSheet(*pages, Props<TTabSheetProps>("TabSheet1"));
  std::vector<int> widths;
  form->OnResize = [&](TForm& f) { widths.push_back(f.Width()); };
  auto& headless = AsHeadless<THeadlessForm>(form.get());
  headless.UserResize(600, 389);
  form->SetBounds({5, 5, 600, 389});  // moved, not resized
  EXPECT_EQ(widths, std::vector<int>{600});
  EXPECT_EQ(pages->Width(), 600);
  EXPECT_EQ(page->Width(), pages->Width() - 8);
}

TEST_F(HeadlessTest, CreateAndDestroyHandlersFireOnce) {
  int created = 0, destroyed = 0;
  form->OnCreate = [&](TForm&) { ++created; };
  form->OnDestroy = [&](TForm&) { ++destroyed; };
  form->DoCreate();
  form->DoCreate();
  form->DoDestroy();
  form->DoDestroy();
  EXPECT_EQ(created, 1);
  EXPECT_EQ(destroyed, 1);
}

TEST_F(HeadlessTest, CommandsReachTheHookAndHandlerErrorsBecomeMessages) {
  std::vector<TCommandMessage> seen;
  form->OnCommand = [&](const TCommandMessage& m) {
    seen.push_back(m);
    if (m.Command == 13) throw std::runtime_error("unlucky");
  };
  auto& headless = AsHeadless<THeadlessForm>(form.get());
  headless.UserCommand(7, 0x99);
  headless.UserCommand(13);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Command, 7);
  EXPECT_EQ(seen[0].Source, 0x99u);
  EXPECT_EQ(factory.ErrorMessages(), std::vector<std::string>{"unlucky"});
}

TEST_F(HeadlessTest, PagesStartOnTheFirstAndShowOnlyTheActiveOne) {
  auto pages = factory.CreatePageControl(*form, Props<TPageControlProps>("pc"));
  auto one = factory.CreateTabSheet(*pages, Props<TTabSheetProps>("one"));
  auto two = factory.CreateTabSheet(*pages, Props<TTabSheetProps>("two"));
  int changes = 0;
  pages->OnChange = [&](TPageControl&) { ++changes; };
  EXPECT_EQ(pages->ActivePageIndex(), 0);
  EXPECT_TRUE(one->Visible());
  EXPECT_FALSE(two->Visible());
  pages->SetActivePageIndex(1);
  pages->SetActivePageIndex(1);
  pages->SetActivePageIndex(5);
  EXPECT_EQ(pages->Page(1), two.get());
  EXPECT_TRUE(two->Visible());
  EXPECT_FALSE(one->Visible());
  EXPECT_EQ(changes, 1);
  two.reset();
  EXPECT_EQ(pages->PageCount(), 1);
  EXPECT_EQ(pages->ActivePageIndex(), 0);
}

class ListViewTest : public HeadlessTest {
 protected:
  std::unique_ptr<TListView> list = factory.CreateListView(*form, Props<TListViewProps>("lv"));
  THeadlessListView& headless = AsHeadless<THeadlessListView>(list.get());
  std::vector<std::pair<int, bool>> events;
  int clicks = 0;

  void SetUp() override {
    for (const char* caption : {"a", "b"}) list->AddSubItem(list->AddItem(caption), "sub");
    list->OnSelectItem = [this](TListView&, int row, bool selected) {
      events.emplace_back(row, selected);
    };
    list->OnClick = [this](TListView&) { ++clicks; };
  }
};

TEST_F(ListViewTest, RowsKeepCaptionAndSubItems) {
  EXPECT_EQ(list->ItemCount(), 2);
  EXPECT_EQ(list->ItemCaption(1), "b");
  EXPECT_EQ(list->SubItemCount(0), 1);
  EXPECT_EQ(list->SubItem(0, 0), "sub");
  EXPECT_EQ(list->SubItem(0, 1), "");
  EXPECT_EQ(list->SubItem(9, 0), "");
}

TEST_F(ListViewTest, MovingTheSelectionReportsTheLossFirst) {
  headless.UserClick(0);
  headless.UserClick(1);
  headless.UserClick(-1);
  EXPECT_EQ(events,
            (std::vector<std::pair<int, bool>>{{0, true}, {0, false}, {1, true}, {1, false}}));
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(list->Selected(), -1);
}

TEST_F(ListViewTest, ClearingRemovesTheSelectionSilently) {
  list->SetSelected(1);
  events.clear();
  list->Clear();
  EXPECT_EQ(list->Selected(), -1);
  EXPECT_EQ(list->ItemCount(), 0);
  EXPECT_TRUE(events.empty());
}

TEST_F(ListViewTest, EachCellStartsFromTheListFont) {
  list->OnCustomDrawSubItem = [](TListView&, int, int column, TCustomDrawState, TDrawFont& font,
                                 bool&) {
    if (column == 1) font = {clBlue, fsUnderline};
  };
  EXPECT_EQ(headless.PaintCell(0, 1).Font, (TDrawFont{clBlue, fsUnderline}));
  const auto cell = headless.PaintCell(0, 0);
  EXPECT_EQ(cell.Font, TDrawFont{});
  EXPECT_TRUE(cell.DefaultDraw);
}

TEST_F(ListViewTest, UpdateScopeResumesWhenAnExceptionPasses) {
  EXPECT_THROW(
      {
        TUpdateScope scope(*list);
        EXPECT_EQ(headless.UpdateDepth(), 1);
        throw std::runtime_error("x");
      },
      std::runtime_error);
  EXPECT_EQ(headless.UpdateDepth(), 0);
}

// Counts how many entry objects are alive.
struct Counted : TObject {
  explicit Counted(int& alive) : FAlive(alive) { ++FAlive; }
  ~Counted() override { --FAlive; }
  int& FAlive;
};

TEST_F(HeadlessTest, ListBoxOwnsItsObjectsAndOnlyTheUserFiresClicks) {
  int alive = 0;
  {
    auto box = factory.CreateListBox(*form, Props<TListBoxProps>("lb"));
    auto& headless = AsHeadless<THeadlessListBox>(box.get());
    int clicks = 0;
    box->OnClick = [&](TListBox&) { ++clicks; };
    box->AddItem("one", std::make_unique<Counted>(alive));
    box->AddItem("two", std::make_unique<Counted>(alive));
    box->AddItem("none", nullptr);
    EXPECT_EQ(alive, 2);
    EXPECT_NE(box->Object(1), nullptr);
    EXPECT_EQ(box->Object(2), nullptr);
    EXPECT_EQ(box->Object(3), nullptr);
    box->SetItemIndex(1);
    EXPECT_EQ(clicks, 0);
    headless.UserSelect(0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(box->ItemIndex(), 0);
    box->SetItemIndex(7);
    EXPECT_EQ(box->ItemIndex(), -1);
    box->Clear();
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(box->Count(), 0);
    box->AddItem("three", std::make_unique<Counted>(alive));
  }
  EXPECT_EQ(alive, 0);
}

TEST_F(HeadlessTest, ToolBarButtonsExecuteTheirActionAndCanMoveToAnotherWindow) {
  TAction action("act");
  int runs = 0;
  action.OnExecute = [&](TAction&) { ++runs; };
  auto bar = factory.CreateToolBar(*form, Props<TToolBarProps>("tb", {0, 0, 69, 24}));
  bar->AddButton({"ToolButton1", 0, "Open", &action});
  AsHeadless<THeadlessToolBar>(bar.get()).UserClickButton(0);
  EXPECT_EQ(runs, 1);
  bar->SetParentWindow(0x7777);
  auto& headless = AsHeadless<THeadlessToolBar>(bar.get());
  EXPECT_EQ(headless.ParentWindow(), 0x7777u);
  EXPECT_EQ(headless.ParentNode(), nullptr);
  // A moved control no longer follows the form.
  form->SetBounds({0, 0, 10, 10});
  EXPECT_EQ(bar->Width(), 69);
}

TEST_F(HeadlessTest, OpenDialogTakesPreparedAnswersAndOffersTheLastChoice) {
  TOpenDialogProps props;
  props.Name = "OpenDialog";
  auto dialog = factory.CreateOpenDialog(props);
  auto& headless = AsHeadless<THeadlessOpenDialog>(dialog.get());
  factory.SetDialogOwner(0x55);
  EXPECT_FALSE(dialog->Execute());
  headless.AnswerNext("/music/a.mp3");
  headless.AnswerNext(std::nullopt);
  EXPECT_TRUE(dialog->Execute());
  EXPECT_EQ(dialog->FileName(), "/music/a.mp3");
  EXPECT_FALSE(dialog->Execute());
  EXPECT_EQ(dialog->FileName(), "/music/a.mp3");
  EXPECT_EQ(headless.OfferedFileNames(), (std::vector<std::string>{"", "", "/music/a.mp3"}));
  EXPECT_EQ(headless.LastOwner(), 0x55u);
}

TEST_F(HeadlessTest, MessagesAndShellCallsAreRecorded) {
  factory.OnSendMessage = [](const THeadlessMessage& m) { return m.LParam * 2; };
  factory.PostToWindow(1, 2, 3, 4);
  EXPECT_EQ(factory.SendToWindow(5, 6, 7, 8), 16);
  factory.ShellOpen(9, "http://example.org");
  ASSERT_EQ(factory.PostedMessages().size(), 1u);
  EXPECT_EQ(factory.PostedMessages()[0].Message, 2u);
  ASSERT_EQ(factory.SentMessages().size(), 1u);
  EXPECT_EQ(factory.SentMessages()[0].Window, 5u);
  ASSERT_EQ(factory.ShellCalls().size(), 1u);
  EXPECT_EQ(factory.ShellCalls()[0].Target, "http://example.org");
}

TEST(ComponentListTest, FreesInReverseOrder) {
  std::vector<std::string> freed;
  struct Noted : TComponent {
    Noted(std::string name, std::vector<std::string>& log) : TComponent(name), FLog(log) {}
    ~Noted() override { FLog.push_back(Name()); }
    std::vector<std::string>& FLog;
  };
  {
    TComponentList list;
    list.Adopt(std::make_unique<Noted>("parent", freed));
    Noted* child = list.Adopt(std::make_unique<Noted>("child", freed));
    EXPECT_EQ(list.Find("child"), child);
    EXPECT_EQ(list.Find("none"), nullptr);
  }
  EXPECT_EQ(freed, (std::vector<std::string>{"child", "parent"}));
}

}  // namespace
}  // namespace tagscope
