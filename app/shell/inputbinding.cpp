#include "shell/inputbinding.h"

#include "shell/commandids.h"

namespace {

constexpr tagINPUTACTION None() { return {IA_NONE, 0}; }
constexpr tagINPUTACTION Command(int id) { return {IA_COMMAND, id}; }
constexpr tagINPUTACTION Operation(VIEWEROPERATION op) { return {IA_OPERATION, op}; }

// The actions the three tables share, by their position in each.
const tagACTIONENTRY kNoAction{u"No Action", None(), -1, -1};

std::vector<tagACTIONENTRY> CommonActions(bool bKeyboard) {
  // Only keyboard actions name their menu commands.
  auto menu = [bKeyboard](int id) { return bKeyboard ? id : -1; };
  return {
      kNoAction,
      {u"Next Image", Command(IDM_NEXT_IMAGE), -1, menu(IDM_NEXT_IMAGE)},
      {u"Previous Image", Command(IDM_PREVIOUS_IMAGE), -1, menu(IDM_PREVIOUS_IMAGE)},
      {u"First Image", Command(IDM_FIRST_IMAGE), -1, menu(IDM_FIRST_IMAGE)},
      {u"Last Image", Command(IDM_LAST_IMAGE), -1, menu(IDM_LAST_IMAGE)},
      {u"Scroll Up", Operation(VOP_SCROLL_UP), -1, -1},
      {u"Scroll Down", Operation(VOP_SCROLL_DOWN), -1, -1},
      {u"Scroll Left", Operation(VOP_SCROLL_LEFT), -1, -1},
      {u"Scroll Right", Operation(VOP_SCROLL_RIGHT), -1, -1},
      {bKeyboard ? u"Rotate Right" : u"Rotate to the Right", Command(IDM_ROTATE_CLOCKWISE), -1,
       menu(IDM_ROTATE_CLOCKWISE)},
      {bKeyboard ? u"Rotate Left" : u"Rotate to the Left", Command(IDM_ROTATE_COUNTER_CLOCKWISE),
       -1, menu(IDM_ROTATE_COUNTER_CLOCKWISE)},
      {u"Rotate 180", Command(IDM_ROTATE_180), -1, menu(IDM_ROTATE_180)},
      {u"Left-Right Flip", Command(IDM_FLIP_LEFT_RIGHT), -1, menu(IDM_FLIP_LEFT_RIGHT)},
      {u"Up-Down Flip", Command(IDM_FLIP_UP_DOWN), -1, menu(IDM_FLIP_UP_DOWN)},
      {u"Zoom In", Command(IDM_ZOOM_IN), -1, menu(IDM_ZOOM_IN)},
      {u"Zoom Out", Command(IDM_ZOOM_OUT), -1, menu(IDM_ZOOM_OUT)},
  };
}

std::vector<tagACTIONENTRY> KeyboardActions() {
  std::vector<tagACTIONENTRY> actions = CommonActions(true);
  const std::vector<tagACTIONENTRY> more = {
      {u"True Size", Command(IDM_ACTUAL_SIZE), -1, IDM_ACTUAL_SIZE},
      {u"Flip Full Screen", Command(IDM_FULL_SCREEN), -1, IDM_FULL_SCREEN},
      {u"Terminate Full Screen", {IA_LEAVE_FULL_SCREEN, 0}, -1, -1},
      {u"Exit Application", Command(IDM_CLOSE), -1, IDM_CLOSE},
      {u"Delete Image", Command(IDM_DELETE_IMAGE), -1, IDM_DELETE_IMAGE},
      {u"Rename Image", Command(IDM_RENAME_IMAGE), -1, IDM_RENAME_IMAGE},
      {u"Rescan Directory", Command(IDM_RESCAN), -1, IDM_RESCAN},
      {u"Crop", Command(IDM_CROP), -1, IDM_CROP},
      {u"Cut", Command(IDM_CUT), -1, IDM_CUT},
      {u"Paste", Command(IDM_PASTE), -1, IDM_PASTE},
      // Shown on the Paste entry, but it has no handler of its own.
      {u"Paste as New", None(), -1, IDM_PASTE},
      {u"Copy", Command(IDM_COPY), -1, IDM_COPY},
      {u"Undo", Command(IDM_UNDO), -1, IDM_UNDO},
      {u"Auto Play", Command(IDM_AUTOPLAY), -1, IDM_AUTOPLAY},
      {u"Best Fit", Command(IDM_BEST_FIT), -1, IDM_BEST_FIT},
      {u"Lock Zoom and Scroll", Command(IDM_LOCK_ZOOM_SCROLL), -1, IDM_LOCK_ZOOM_SCROLL},
      {u"Save As", Command(IDM_SAVE_AS), -1, IDM_SAVE_AS},
      {u"Maximize View", Command(IDM_MAXIMIZE_VIEW), -1, IDM_MAXIMIZE_VIEW},
  };
  actions.insert(actions.end(), more.begin(), more.end());
  return actions;
}

std::vector<tagACTIONENTRY> MouseActions() {
  std::vector<tagACTIONENTRY> actions = CommonActions(false);
  const std::vector<tagACTIONENTRY> more = {
      {u"True Size", Command(IDM_ACTUAL_SIZE), -1, IDM_ACTUAL_SIZE},
      {u"Zoom In On Pixel", Operation(VOP_ZOOM_IN_PIXEL), -1, -1},
      {u"Zoom Out On Pixel", Operation(VOP_ZOOM_OUT_PIXEL), -1, -1},
      {u"Zoom In Region", Operation(VOP_ZOOM_REGION_START), 25, -1},
      {u"Hand", Operation(VOP_HAND_START), 26, -1},
      {u"Edit Region Start", Operation(VOP_EDIT_REGION_START), 27, -1},
      {u"Measure Line Start", Operation(VOP_MEASURE_START), 28, -1},
      {u"Set Anchor", Operation(VOP_SET_ANCHOR), -1, -1},
      {u"Dynamic Zoom Start", Operation(VOP_DYNAMIC_ZOOM_START), 30, -1},
      // Release companions, never chosen by the user.
      {u"Zoom In Region Stop", Operation(VOP_ZOOM_REGION_STOP), -1, -1},
      {u"Hand Release", Operation(VOP_HAND_RELEASE), -1, -1},
      {u"Edit Region Stop", Operation(VOP_EDIT_REGION_STOP), -1, -1},
      {u"Measure Line Stop", Operation(VOP_MEASURE_STOP), -1, -1},
      // The e-mail tool: adds the shown image to the e-mail dialog. It is its
      // own companion; it runs once per click (on the press).
      {u"Email picture", Command(IDM_EMAIL), 29, -1},
      {u"Dynamic Zoom Stop", Operation(VOP_DYNAMIC_ZOOM_STOP), -1, -1},
  };
  actions.insert(actions.end(), more.begin(), more.end());
  return actions;
}

enum : uint32_t {
  KA_NEXT = 1,
  KA_PREVIOUS = 2,
  KA_FIRST = 3,
  KA_LAST = 4,
  KA_SCROLL_UP = 5,
  KA_SCROLL_DOWN = 6,
  KA_SCROLL_LEFT = 7,
  KA_SCROLL_RIGHT = 8,
  KA_ROTATE_RIGHT = 9,
  KA_ROTATE_LEFT = 10,
  KA_FLIP_LR = 12,
  KA_FLIP_UD = 13,
  KA_ZOOM_IN = 14,
  KA_ZOOM_OUT = 15,
  KA_TRUE_SIZE = 16,
  KA_FLIP_FULL_SCREEN = 17,
  KA_TERMINATE_FULL_SCREEN = 18,
  KA_DELETE = 20,
  KA_RENAME = 21,
  KA_CROP = 23,
  KA_CUT = 24,
  KA_PASTE = 25,
  KA_COPY = 27,
  KA_UNDO = 28,
  KA_AUTOPLAY = 29,
  KA_BEST_FIT = 30,
  KA_LOCK = 31,
  KA_SAVE_AS = 32,
  KA_MAXIMIZE_VIEW = 33,
};

enum : uint32_t {
  MA_NEXT = 1,
  MA_PREVIOUS = 2,
  MA_ROTATE_RIGHT = 9,
  MA_ZOOM_REGION = 19,
  MA_HAND = 20,
  MA_EDIT_REGION = 21,
  MA_MEASURE = 22,
  MA_SET_ANCHOR = 23,
  MA_EMAIL_PICTURE = 29,
};

// The built-in default, in event order.
constexpr std::array<uint32_t, CMappingValues::kEventCount> kDefaults = {
    KA_NEXT, KA_PREVIOUS, KA_SCROLL_DOWN, KA_SCROLL_UP, KA_SCROLL_LEFT, KA_SCROLL_RIGHT,
    KA_NEXT,  // Space Bar
    KA_TRUE_SIZE, KA_FIRST, KA_LAST, KA_ROTATE_RIGHT, KA_ROTATE_LEFT, KA_FLIP_UD, KA_FLIP_LR,
    KA_ZOOM_IN, KA_ZOOM_OUT, KA_FLIP_FULL_SCREEN, KA_DELETE, KA_RENAME, KA_TERMINATE_FULL_SCREEN,
    KA_COPY, KA_PASTE, KA_CUT, KA_CROP, KA_UNDO, KA_AUTOPLAY, KA_BEST_FIT, KA_LOCK, KA_SAVE_AS,
    KA_PREVIOUS,  // Alt+Arrow Left
    KA_NEXT,      // Alt+Arrow Right
    KA_MAXIMIZE_VIEW,
    // Mouse buttons: left, right, center
    MA_NEXT, MA_PREVIOUS, MA_ROTATE_RIGHT,
    // Wheel: down, up
    KA_SCROLL_DOWN, KA_SCROLL_UP};

// Keyboard events, by position in CMappingValues::Events().
enum : int {
  IE_PAGE_DOWN,
  IE_PAGE_UP,
  IE_ARROW_DOWN,
  IE_ARROW_UP,
  IE_ARROW_LEFT,
  IE_ARROW_RIGHT,
  IE_SPACE,
  IE_BACK_SPACE,
  IE_HOME,
  IE_END,
  IE_CHAR_R,
  IE_CHAR_C,
  IE_CHAR_V,
  IE_CHAR_H,
  IE_CHAR_PLUS,
  IE_CHAR_MINUS,
  IE_ENTER,
  IE_DELETE,
  IE_INSERT,
  IE_ESCAPE,
  IE_CTRL_C,
  IE_CTRL_V,
  IE_CTRL_X,
  IE_CTRL_Y,
  IE_CTRL_Z,
  IE_CTRL_A,
  IE_CTRL_B,
  IE_CTRL_L,
  IE_CTRL_S,
  IE_ALT_LEFT,
  IE_ALT_RIGHT,
  IE_CTRL_M,
};

const tagACTIONENTRY& ActionEntry(int event, uint32_t index) {
  const auto& table = CInputBinding::Actions(CMappingValues::Events()[size_t(event)].nGroup);
  return index < table.size() ? table[index] : kNoAction;
}

}  // namespace

const std::vector<tagACTIONENTRY>& CInputBinding::Actions(INPUTEVENTGROUP group) {
  static const std::vector<tagACTIONENTRY> keyboard = KeyboardActions();
  static const std::vector<tagACTIONENTRY> mouse = MouseActions();
  static const std::vector<tagACTIONENTRY> wheel = CommonActions(false);
  switch (group) {
    case INPUT_KEYBOARD:
      return keyboard;
    case INPUT_MOUSE:
      return mouse;
    case INPUT_WHEEL:
    default:
      return wheel;
  }
}

uint32_t CInputBinding::DefaultAction(int event) {
  return event >= 0 && event < CMappingValues::kEventCount ? kDefaults[size_t(event)] : 0;
}

int CInputBinding::EventForAccelerator(int commandId) {
  switch (commandId) {
    case IDM_KEY_CTRL_C:
      return IE_CTRL_C;
    case IDM_KEY_CTRL_V:
      return IE_CTRL_V;
    case IDM_KEY_CTRL_X:
      return IE_CTRL_X;
    case IDM_KEY_CTRL_Y:
      return IE_CTRL_Y;
    case IDM_KEY_CTRL_Z:
      return IE_CTRL_Z;
    case IDM_KEY_CTRL_A:
      return IE_CTRL_A;
    case IDM_KEY_CTRL_B:
      return IE_CTRL_B;
    case IDM_KEY_CTRL_L:
      return IE_CTRL_L;
    case IDM_KEY_CTRL_S:
      return IE_CTRL_S;
    case IDM_KEY_ALT_LEFT:
      return IE_ALT_LEFT;
    case IDM_KEY_ALT_RIGHT:
      return IE_ALT_RIGHT;
    case IDM_KEY_CTRL_M:
      return IE_CTRL_M;
    default:
      return -1;
  }
}

int CInputBinding::EventForKey(int key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return -1;
  const bool shifted = modifiers & Qt::ShiftModifier;
  switch (key) {
    case Qt::Key_PageDown:
      return IE_PAGE_DOWN;
    case Qt::Key_PageUp:
      return IE_PAGE_UP;
    case Qt::Key_Down:
      return IE_ARROW_DOWN;
    case Qt::Key_Up:
      return IE_ARROW_UP;
    case Qt::Key_Left:
      return IE_ARROW_LEFT;
    case Qt::Key_Right:
      return IE_ARROW_RIGHT;
    case Qt::Key_Space:
      return IE_SPACE;
    case Qt::Key_Backspace:
      return IE_BACK_SPACE;
    case Qt::Key_Home:
      return IE_HOME;
    case Qt::Key_End:
      return IE_END;
    case Qt::Key_R:
      return shifted ? -1 : IE_CHAR_R;
    case Qt::Key_C:
      return shifted ? -1 : IE_CHAR_C;
    case Qt::Key_V:
      return shifted ? -1 : IE_CHAR_V;
    case Qt::Key_H:
      return shifted ? -1 : IE_CHAR_H;
    case Qt::Key_Plus:
      return IE_CHAR_PLUS;
    case Qt::Key_Minus:
      return IE_CHAR_MINUS;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return IE_ENTER;
    case Qt::Key_Delete:
      return IE_DELETE;
    case Qt::Key_Insert:
      return IE_INSERT;
    case Qt::Key_Escape:
      return IE_ESCAPE;
    default:
      return -1;
  }
}

CInputBinding::CInputBinding() : m_nMouseTool(IDM_TOOL_CUSTOM) { Apply(CMappingValues()); }

void CInputBinding::Apply(const CMappingValues& stored) {
  for (int i = 0; i < CMappingValues::kEventCount; ++i) {
    const std::optional<uint32_t> value = stored.Get(i);
    m_applied[size_t(i)] = value ? *value : kDefaults[size_t(i)];
  }
}

tagINPUTACTION CInputBinding::GetPressAction(int event) const {
  if (event < 0 || event >= CMappingValues::kEventCount) return None();
  return ActionEntry(event, m_applied[size_t(event)]).action;
}

tagINPUTACTION CInputBinding::GetReleaseAction(int event) const {
  if (event < 0 || event >= CMappingValues::kEventCount) return None();
  const tagACTIONENTRY& entry = ActionEntry(event, m_applied[size_t(event)]);
  // The e-mail picture action is its own companion; one click adds the
  // picture once.
  if (entry.nCompanion < 0 || entry.nCompanion == int(MA_EMAIL_PICTURE)) return None();
  return ActionEntry(event, uint32_t(entry.nCompanion)).action;
}

int CInputBinding::SetMouseTool(int commandId) {
  if ((commandId < IDM_TOOL_NAVIGATE || commandId > IDM_TOOL_CUSTOM) && commandId != IDM_TOOL_EMAIL)
    return 0;
  m_nMouseTool = commandId;
  return 1;
}

uint32_t CInputBinding::LeftButtonAction() const {
  switch (m_nMouseTool) {
    case IDM_TOOL_NAVIGATE:
      return MA_NEXT;
    case IDM_TOOL_SELECT:
      return MA_EDIT_REGION;
    case IDM_TOOL_HAND:
      return MA_HAND;
    case IDM_TOOL_MEASURE:
      return MA_MEASURE;
    case IDM_TOOL_ANCHOR:
      return MA_SET_ANCHOR;
    case IDM_TOOL_ZOOM:
      return MA_ZOOM_REGION;
    case IDM_TOOL_EMAIL:
      return MA_EMAIL_PICTURE;
    case IDM_TOOL_CUSTOM:
    default:
      return m_applied[IE_FIRST_MOUSE];
  }
}

tagINPUTACTION CInputBinding::OnButtonDown(MOUSEBUTTON button) {
  if (button < 0 || button >= MB_COUNT) return None();
  const int event = int(IE_FIRST_MOUSE) + int(button);
  const uint32_t index = button == MB_LEFT ? LeftButtonAction() : m_applied[size_t(event)];
  const tagACTIONENTRY& entry = ActionEntry(event, index);
  m_pendingRelease[size_t(button)] =
      entry.nCompanion >= 0 && entry.nCompanion != int(MA_EMAIL_PICTURE)
          ? ActionEntry(event, uint32_t(entry.nCompanion)).action
          : None();
  return entry.action;
}

tagINPUTACTION CInputBinding::OnButtonUp(MOUSEBUTTON button) {
  if (button < 0 || button >= MB_COUNT) return None();
  const tagINPUTACTION release = m_pendingRelease[size_t(button)];
  m_pendingRelease[size_t(button)] = None();
  return release;
}

int CInputBinding::OnWheel(int delta, tagINPUTACTION* action) {
  m_nWheelRest += delta;
  const int steps = m_nWheelRest / kWheelStep;
  if (steps == 0) return 0;
  m_nWheelRest -= steps * kWheelStep;
  *action = GetPressAction(steps > 0 ? IE_ROLLER_UP : IE_ROLLER_DOWN);
  return steps > 0 ? steps : -steps;
}
