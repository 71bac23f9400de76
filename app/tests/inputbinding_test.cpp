#include "shell/inputbinding.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QWidget>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "shell/commandids.h"
#include "shell/viewerinput.h"

namespace {

tagINPUTACTION Command(int id) { return {IA_COMMAND, id}; }
tagINPUTACTION Operation(VIEWEROPERATION op) { return {IA_OPERATION, op}; }
constexpr tagINPUTACTION kNone{IA_NONE, 0};

}  // namespace

void PrintTo(const tagINPUTACTION& action, std::ostream* out) {
  *out << "{kind " << action.nKind << ", " << action.nValue << "}";
}

namespace {

struct tagKEYCASE {
  const char* pszName;
  int nKey;
  Qt::KeyboardModifiers modifiers;
  tagINPUTACTION action;  // with the built-in assignment
};

void PrintTo(const tagKEYCASE& c, std::ostream* out) { *out << c.pszName; }

class DefaultKeys : public ::testing::TestWithParam<tagKEYCASE> {};

TEST_P(DefaultKeys, RunTheirBuiltInAction) {
  CInputBinding binding;
  const int event = CInputBinding::EventForKey(GetParam().nKey, GetParam().modifiers);
  EXPECT_EQ(binding.GetPressAction(event), GetParam().action);
  // No key has a release action.
  EXPECT_EQ(binding.GetReleaseAction(event), kNone);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DefaultKeys,
    ::testing::Values(
        tagKEYCASE{"PageDown", Qt::Key_PageDown, {}, Command(IDM_NEXT_IMAGE)},
        tagKEYCASE{"PageUp", Qt::Key_PageUp, {}, Command(IDM_PREVIOUS_IMAGE)},
        tagKEYCASE{"Space", Qt::Key_Space, {}, Command(IDM_NEXT_IMAGE)},
        tagKEYCASE{"BackSpace", Qt::Key_Backspace, {}, Command(IDM_ACTUAL_SIZE)},
        tagKEYCASE{"Home", Qt::Key_Home, {}, Command(IDM_FIRST_IMAGE)},
        tagKEYCASE{"End", Qt::Key_End, {}, Command(IDM_LAST_IMAGE)},
        tagKEYCASE{"Down", Qt::Key_Down, {}, Operation(VOP_SCROLL_DOWN)},
        tagKEYCASE{"Up", Qt::Key_Up, {}, Operation(VOP_SCROLL_UP)},
        tagKEYCASE{"Left", Qt::Key_Left, {}, Operation(VOP_SCROLL_LEFT)},
        tagKEYCASE{"Right", Qt::Key_Right, {}, Operation(VOP_SCROLL_RIGHT)},
        tagKEYCASE{"R", Qt::Key_R, {}, Command(IDM_ROTATE_CLOCKWISE)},
        tagKEYCASE{"C", Qt::Key_C, {}, Command(IDM_ROTATE_COUNTER_CLOCKWISE)},
        tagKEYCASE{"V", Qt::Key_V, {}, Command(IDM_FLIP_UP_DOWN)},
        tagKEYCASE{"H", Qt::Key_H, {}, Command(IDM_FLIP_LEFT_RIGHT)},
        tagKEYCASE{"PlusWithShift", Qt::Key_Plus, Qt::ShiftModifier, Command(IDM_ZOOM_IN)},
        tagKEYCASE{"KeypadPlus", Qt::Key_Plus, Qt::KeypadModifier, Command(IDM_ZOOM_IN)},
        tagKEYCASE{"Minus", Qt::Key_Minus, {}, Command(IDM_ZOOM_OUT)},
        tagKEYCASE{"Return", Qt::Key_Return, {}, Command(IDM_FULL_SCREEN)},
        tagKEYCASE{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, Command(IDM_FULL_SCREEN)},
        tagKEYCASE{"Delete", Qt::Key_Delete, {}, Command(IDM_DELETE_IMAGE)},
        tagKEYCASE{"Insert", Qt::Key_Insert, {}, Command(IDM_RENAME_IMAGE)},
        tagKEYCASE{"Escape", Qt::Key_Escape, {}, tagINPUTACTION{IA_LEAVE_FULL_SCREEN, 0}},
        // Not keys of the mapping: left to the widget that has the focus.
        tagKEYCASE{"ShiftR", Qt::Key_R, Qt::ShiftModifier, kNone},
        tagKEYCASE{"CtrlPageDown", Qt::Key_PageDown, Qt::ControlModifier, kNone},
        tagKEYCASE{"AltHome", Qt::Key_Home, Qt::AltModifier, kNone},
        tagKEYCASE{"X", Qt::Key_X, {}, kNone}),
    [](const ::testing::TestParamInfo<tagKEYCASE>& info) { return info.param.pszName; });

struct tagACCELERATORCASE {
  int nId;
  tagINPUTACTION action;
};

void PrintTo(const tagACCELERATORCASE& c, std::ostream* out) { *out << c.nId; }

class AcceleratorKeys : public ::testing::TestWithParam<tagACCELERATORCASE> {};

TEST_P(AcceleratorKeys, RunTheActionTheMappingGivesTheirKey) {
  CInputBinding binding;
  EXPECT_EQ(binding.GetPressAction(CInputBinding::EventForAccelerator(GetParam().nId)),
            GetParam().action);
}

INSTANTIATE_TEST_SUITE_P(
    CtrlAndAltKeys, AcceleratorKeys,
    ::testing::Values(tagACCELERATORCASE{IDM_KEY_CTRL_C, Command(IDM_COPY)},
                      tagACCELERATORCASE{IDM_KEY_CTRL_V, Command(IDM_PASTE)},
                      tagACCELERATORCASE{IDM_KEY_CTRL_X, Command(IDM_CUT)},
                      tagACCELERATORCASE{IDM_KEY_CTRL_Y, Command(IDM_CROP)},
                      tagACCELERATORCASE{IDM_KEY_CTRL_Z, Command(IDM_UNDO)},
                      tagACCELERATORCASE{IDM_KEY_CTRL_A, Command(IDM_AUTOPLAY)},
                      tagACCELERATORCASE{IDM_KEY_CTRL_B, Command(IDM_BEST_FIT)},
                      tagACCELERATORCASE{IDM_KEY_CTRL_L, Command(IDM_LOCK_ZOOM_SCROLL)},
                      tagACCELERATORCASE{IDM_KEY_CTRL_S, Command(IDM_SAVE_AS)},
                      tagACCELERATORCASE{IDM_KEY_ALT_LEFT, Command(IDM_PREVIOUS_IMAGE)},
                      tagACCELERATORCASE{IDM_KEY_ALT_RIGHT, Command(IDM_NEXT_IMAGE)},
                      tagACCELERATORCASE{IDM_KEY_CTRL_M, Command(IDM_MAXIMIZE_VIEW)},
                      tagACCELERATORCASE{IDM_OPEN, kNone}));

TEST(InputBinding, StoredChoicesReplaceTheDefaultsOfTheirEventsOnly) {
  CMappingValues stored;
  const int pageDown = CInputBinding::EventForKey(Qt::Key_PageDown, {});
  const int ctrlV = CInputBinding::EventForAccelerator(IDM_KEY_CTRL_V);
  ASSERT_EQ(stored.Set(pageDown, 14), 1);  // Zoom In
  ASSERT_EQ(stored.Set(ctrlV, 26), 1);     // Paste as New: no handler of its own
  ASSERT_EQ(stored.Set(IE_ROLLER_UP, 14), 1);
  CInputBinding binding;
  binding.Apply(stored);
  EXPECT_EQ(binding.GetPressAction(pageDown), Command(IDM_ZOOM_IN));
  EXPECT_EQ(binding.GetPressAction(ctrlV), kNone);
  EXPECT_EQ(binding.GetPressAction(CInputBinding::EventForKey(Qt::Key_Space, {})),
            Command(IDM_NEXT_IMAGE));
  tagINPUTACTION action;
  EXPECT_EQ(binding.OnWheel(120, &action), 1);
  EXPECT_EQ(action, Command(IDM_ZOOM_IN));

  // Applying again without values goes back to the defaults.
  binding.Apply(CMappingValues());
  EXPECT_EQ(binding.GetPressAction(pageDown), Command(IDM_NEXT_IMAGE));
}

struct tagTOOLCASE {
  const char* pszName;
  int nTool;
  tagINPUTACTION press;
  tagINPUTACTION release;
};

void PrintTo(const tagTOOLCASE& c, std::ostream* out) { *out << c.pszName; }

class MouseTools : public ::testing::TestWithParam<tagTOOLCASE> {};

TEST_P(MouseTools, SetWhatTheLeftButtonDoes) {
  CInputBinding binding;
  ASSERT_EQ(binding.SetMouseTool(GetParam().nTool), 1);
  EXPECT_EQ(binding.OnButtonDown(MB_LEFT), GetParam().press);
  EXPECT_EQ(binding.OnButtonUp(MB_LEFT), GetParam().release);
  // The other buttons keep the custom mapping.
  EXPECT_EQ(binding.OnButtonDown(MB_RIGHT), Command(IDM_PREVIOUS_IMAGE));
  EXPECT_EQ(binding.OnButtonDown(MB_CENTER), Command(IDM_ROTATE_CLOCKWISE));
}

INSTANTIATE_TEST_SUITE_P(
    Tools, MouseTools,
    ::testing::Values(tagTOOLCASE{"Navigate", IDM_TOOL_NAVIGATE, Command(IDM_NEXT_IMAGE), kNone},
                      tagTOOLCASE{"Select", IDM_TOOL_SELECT, Operation(VOP_EDIT_REGION_START),
                                  Operation(VOP_EDIT_REGION_STOP)},
                      tagTOOLCASE{"Hand", IDM_TOOL_HAND, Operation(VOP_HAND_START),
                                  Operation(VOP_HAND_RELEASE)},
                      tagTOOLCASE{"Measure", IDM_TOOL_MEASURE, Operation(VOP_MEASURE_START),
                                  Operation(VOP_MEASURE_STOP)},
                      tagTOOLCASE{"Anchor", IDM_TOOL_ANCHOR, Operation(VOP_SET_ANCHOR), kNone},
                      tagTOOLCASE{"Zoom", IDM_TOOL_ZOOM, Operation(VOP_ZOOM_REGION_START),
                                  Operation(VOP_ZOOM_REGION_STOP)},
                      tagTOOLCASE{"Custom", IDM_TOOL_CUSTOM, Command(IDM_NEXT_IMAGE), kNone},
                      // One click adds the picture once.
                      tagTOOLCASE{"Email", IDM_TOOL_EMAIL, Command(IDM_EMAIL), kNone}),
    [](const ::testing::TestParamInfo<tagTOOLCASE>& info) { return info.param.pszName; });

TEST(InputBinding, TheCustomToolUsesTheButtonMappingWithItsReleaseCompanion) {
  CMappingValues stored;
  ASSERT_EQ(stored.Set(IE_FIRST_MOUSE, 24), 1);  // Dynamic Zoom Start
  CInputBinding binding;
  binding.Apply(stored);
  EXPECT_EQ(binding.OnButtonDown(MB_LEFT), Operation(VOP_DYNAMIC_ZOOM_START));
  EXPECT_EQ(binding.OnButtonUp(MB_LEFT), Operation(VOP_DYNAMIC_ZOOM_STOP));
  EXPECT_EQ(binding.OnButtonUp(MB_LEFT), kNone) << "one release per press";
  EXPECT_EQ(binding.GetReleaseAction(IE_FIRST_MOUSE), Operation(VOP_DYNAMIC_ZOOM_STOP));
}

TEST(InputBinding, AReleaseEndsWhatItsPressStartedEvenAfterTheToolChanged) {
  CInputBinding binding;
  binding.SetMouseTool(IDM_TOOL_HAND);
  EXPECT_EQ(binding.OnButtonDown(MB_LEFT), Operation(VOP_HAND_START));
  binding.SetMouseTool(IDM_TOOL_ZOOM);
  EXPECT_EQ(binding.OnButtonUp(MB_LEFT), Operation(VOP_HAND_RELEASE));
  EXPECT_EQ(binding.SetMouseTool(IDM_OPEN), 0);
  EXPECT_EQ(binding.GetMouseTool(), IDM_TOOL_ZOOM);
}

struct tagWHEELCASE {
  const char* pszName;
  std::vector<int> deltas;
  std::vector<int> steps;  // per turn: + up, - down
};

void PrintTo(const tagWHEELCASE& c, std::ostream* out) { *out << c.pszName; }

class WheelSteps : public ::testing::TestWithParam<tagWHEELCASE> {};

TEST_P(WheelSteps, RunTheActionOncePerWholeStep) {
  CInputBinding binding;
  std::vector<int> steps;
  for (int delta : GetParam().deltas) {
    tagINPUTACTION action;
    const int n = binding.OnWheel(delta, &action);
    if (n == 0) {
      steps.push_back(0);
      continue;
    }
    ASSERT_TRUE(action == Operation(VOP_SCROLL_UP) || action == Operation(VOP_SCROLL_DOWN));
    steps.push_back(action == Operation(VOP_SCROLL_UP) ? n : -n);
  }
  EXPECT_EQ(steps, GetParam().steps);
}

INSTANTIATE_TEST_SUITE_P(
    Turns, WheelSteps,
    ::testing::Values(tagWHEELCASE{"OneNotchUp", {120}, {1}},
                      tagWHEELCASE{"OneNotchDown", {-120}, {-1}},
                      tagWHEELCASE{"TwoNotchesAtOnce", {240}, {2}},
                      tagWHEELCASE{"HalfStepsAccumulate", {60, 60, 60, 60}, {0, 1, 0, 1}},
                      tagWHEELCASE{"FineTurnsAccumulate", {30, 30, 30, 40, 110}, {0, 0, 0, 1, 1}},
                      tagWHEELCASE{"ARestIsLeftForLater", {200, 40}, {1, 1}},
                      tagWHEELCASE{"TurningBackCancelsTheRest", {90, -90, -120}, {0, 0, -1}}),
    [](const ::testing::TestParamInfo<tagWHEELCASE>& info) { return info.param.pszName; });

// The event filter over a real widget.

class CRecordingOperations : public CViewerOperations {
 public:
  int RunViewerOperation(VIEWEROPERATION operation, const POINT& pt) override {
    ran.push_back(operation);
    points.push_back(pt);
    return 1;
  }
  std::vector<VIEWEROPERATION> ran;
  std::vector<POINT> points;
};

class ViewerInput : public ::testing::Test {
 protected:
  ViewerInput()
      : input(
            binding,
            [this](int id) {
              commands.push_back(id);
              return 1;
            },
            [this](int id) { return id == IDM_FULL_SCREEN && bFullScreen; }) {
    viewer.resize(300, 200);
    input.Watch(&viewer, &operations);
    input.SetAutoplayStopper([this] { ++autoplayStops; });
  }

  bool Send(QEvent& event) { return input.eventFilter(&viewer, &event); }

  CInputBinding binding;
  QWidget viewer;
  CRecordingOperations operations;
  std::vector<int> commands;
  bool bFullScreen = false;
  int autoplayStops = 0;
  // Declared last: its callbacks use the members above.
  struct CInput : CViewerInput {
    using CViewerInput::CViewerInput;
    using CViewerInput::eventFilter;
  } input;
};

TEST_F(ViewerInput, KeysRunTheirActionsAndStopAutoplayUnlessTheyAreAutoplays) {
  QKeyEvent pageDown(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
  EXPECT_TRUE(Send(pageDown));
  EXPECT_EQ(commands, std::vector<int>{IDM_NEXT_IMAGE});
  EXPECT_EQ(autoplayStops, 1);

  QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
  EXPECT_TRUE(Send(up));
  EXPECT_EQ(operations.ran, std::vector<VIEWEROPERATION>{VOP_SCROLL_UP});

  // An unmapped key goes on to the viewer.
  QKeyEvent x(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier);
  EXPECT_FALSE(Send(x));
  EXPECT_EQ(autoplayStops, 2);

  CMappingValues stored;
  stored.Set(CInputBinding::EventForKey(Qt::Key_Insert, {}), 29);  // Auto Play
  binding.Apply(stored);
  QKeyEvent insert(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier);
  EXPECT_TRUE(Send(insert));
  EXPECT_EQ(commands.back(), IDM_AUTOPLAY);
  EXPECT_EQ(autoplayStops, 2);
}

TEST_F(ViewerInput, EscapeLeavesFullScreenOnlyInFullScreen) {
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  Send(escape);
  EXPECT_TRUE(commands.empty());
  bFullScreen = true;
  Send(escape);
  EXPECT_EQ(commands, std::vector<int>{IDM_FULL_SCREEN});
}

TEST_F(ViewerInput, ButtonsRunPressAndReleaseAtThePointer) {
  binding.SetMouseTool(IDM_TOOL_HAND);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(40, 30), viewer.mapToGlobal(QPointF(40, 30)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  EXPECT_TRUE(Send(press));
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(90, 70),
                      viewer.mapToGlobal(QPointF(90, 70)), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  EXPECT_TRUE(Send(release));
  EXPECT_EQ(operations.ran, (std::vector<VIEWEROPERATION>{VOP_HAND_START, VOP_HAND_RELEASE}));
  EXPECT_EQ(operations.points[0].x, 40);
  EXPECT_EQ(operations.points[1].y, 70);

  // Right button: Previous Image; its release is the viewer's own.
  QMouseEvent right(QEvent::MouseButtonPress, QPointF(5, 5), viewer.mapToGlobal(QPointF(5, 5)),
                    Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  EXPECT_TRUE(Send(right));
  QMouseEvent rightUp(QEvent::MouseButtonRelease, QPointF(5, 5), viewer.mapToGlobal(QPointF(5, 5)),
                      Qt::RightButton, Qt::NoButton, Qt::NoModifier);
  EXPECT_FALSE(Send(rightUp));
  EXPECT_EQ(commands, std::vector<int>{IDM_PREVIOUS_IMAGE});
}

TEST_F(ViewerInput, TheWheelStepsByWholeNotches) {
  auto wheel = [this](int delta) {
    QWheelEvent event(QPointF(10, 10), viewer.mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    return Send(event);
  };
  EXPECT_TRUE(wheel(-60));
  EXPECT_TRUE(operations.ran.empty());
  EXPECT_TRUE(wheel(-300));
  EXPECT_EQ(operations.ran, std::vector<VIEWEROPERATION>(3, VOP_SCROLL_DOWN));
}

TEST_F(ViewerInput, WithoutViewerOperationsTheScrollKeysMoveTheScrollBars) {
  auto* horizontal = new QScrollBar(Qt::Horizontal, &viewer);
  auto* vertical = new QScrollBar(Qt::Vertical, &viewer);
  for (QScrollBar* bar : {horizontal, vertical}) {
    bar->setRange(0, 1000);
    bar->setSingleStep(25);
  }
  input.Watch(&viewer, nullptr);
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
  QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
  Send(down);
  Send(down);
  Send(right);
  Send(right);
  Send(left);
  EXPECT_EQ(vertical->value(), 50);
  EXPECT_EQ(horizontal->value(), 25);
}

}  // namespace
