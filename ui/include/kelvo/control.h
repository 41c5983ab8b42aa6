#pragma once
// The retained-mode object model: anything that parents controls
// (MObject), the control base (MControl), text and skin strips
// (MControlFont), the scrolling container with its class-name factory
// (MPanel) and the plain background rectangle (CArea).
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "kelvo/geometry.h"
#include "ui/platform/gfx/canvas.h"

namespace kelvo {

class PaintManager;
class MControl;
class MScroll;

// Notification codes a control reports to its parent.
enum : unsigned {
  NOTIFY_LBUTTONDOWN = 1,
  NOTIFY_CLICK = 2,
  NOTIFY_DBLCLK = 3,
  NOTIFY_RCLICK = 5,
  NOTIFY_CHECK_KEY = 7,
  NOTIFY_POS_CHANGED = 8,
  NOTIFY_ITEM_BUTTON = 9,
  NOTIFY_KEYDOWN = 14,
  NOTIFY_FRAME_SELECT = 24,
  NOTIFY_TEXT_CHANGED = 26,
  NOTIFY_COLOR_CHANGED = 27,
  NOTIFY_VALUE_CHANGED = 28,
  NOTIFY_EDIT_END = 29,
  NOTIFY_EDIT_BEGIN = 30,
  NOTIFY_EDIT_BUTTON = 31,
};

// Modifier word that accompanies keys.
enum : unsigned { MOD_NONE = 0, MOD_SHIFT_WORD = 0x10, MOD_CTRL_WORD = 0x11, MOD_ALT_WORD = 0x12 };

// Cursor shapes a control may ask for while the mouse is over it.
enum class CursorKind { None = 0, Arrow, Wait, Cross, SizeWE, SizeNS, Hand, Help };

using ControlLock = std::recursive_mutex;

// Anything that can parent controls.
class MObject {
 public:
  virtual ~MObject() = default;
  virtual int IsClass(const wchar_t* name);
  virtual const wchar_t* GetClassNameW() const { return nullptr; }
  virtual const wchar_t* GetObjectClass() { return nullptr; }
  virtual const wchar_t* BaseObjectClassName() { return nullptr; }
  // A child with identifier id reports code.
  virtual long OnBaseMessage(unsigned id, unsigned code, unsigned wParam, long lParam) { return 0; }
  // A child asks for rect to be repainted; redraw: its render cache is stale.
  virtual long OnControlUpdate(CRect rect, int redraw, MControl* control) { return 0; }
};

// Position descriptor of layouts: type 0 offset from an end, 1 from the
// middle, 2 percent.
struct FS_POSITION_ITEM {
  int type = 0;
  int fromEnd = 0;
  float value = 0;
};
int PositionItem2Value(const FS_POSITION_ITEM& item, int a, int b);

class MControl : public MObject {
 public:
  MControl(MObject* parent, unsigned id, CRect rect, int visible, int enabled, int mouseResponse);
  ~MControl() override;
  MControl(const MControl&) = delete;
  MControl& operator=(const MControl&) = delete;

  // --- virtual operations ---
  virtual void InitControl(PaintManager* manager) {}
  virtual int PtInRect(CPoint pt);
  virtual void DrawControl(Canvas& dc, CRect clip) = 0;
  virtual int DrawSubControls(Canvas& dc, CRect clip);
  virtual int IsDraw(CPoint pt) { return 0; }
  virtual void SetUpdate(int valid, unsigned long colour);
  virtual int SetControlFocus(int focus);
  virtual void InitUI(CRect rect) {}
  virtual int OnMousePointChange(CPoint& pt) { return 0; }
  virtual int OnCheckMouseResponse(unsigned flags, CPoint pt) { return 1; }
  virtual long OnWindowMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) { return 0; }
  virtual long OnMessage(unsigned id, unsigned code, unsigned wParam, long lParam) { return 0; }
  virtual void SetControlRect(CRect rect) { rect_ = rect; }
  virtual void SetControlVisible(int visible) { visible_ = visible; }
  virtual void SetControlWndVisible(int visible) {}
  virtual void SetControlEnabled(int enabled) { enabled_ = enabled; }
  virtual int OnControlTimer() { return 0; }
  virtual const Canvas* GetControlDropBitmap() { return nullptr; }
  virtual int OnControlMouseMove(unsigned flags, CPoint pt) { return 0; }
  virtual int OnControlSetCursor(unsigned flags, CPoint pt);
  virtual int OnControlLButtonDown(unsigned flags, CPoint pt) { return 0; }
  virtual int OnControlLButtonUp(unsigned flags, CPoint pt) { return 0; }
  virtual int OnControlLButtonDblClk(unsigned flags, CPoint pt) { return 0; }
  virtual int OnControlScroll(int kind, unsigned direction, CPoint pt) { return 0; }
  virtual int OnControlRButtonDown(unsigned flags, CPoint pt) { return 0; }
  virtual int OnControlRButtonUp(unsigned flags, CPoint pt) { return 0; }
  virtual int OnControlRButtonDblClk(unsigned flags, CPoint pt) { return 0; }
  virtual int OnControlKeyDown(unsigned vk, unsigned repeat, unsigned modifiers);
  virtual void OnPositionChange() {}
  virtual void InvalidateRect(const CRect* rect, int erase);

  // --- manager and geometry ---
  void SetManager(PaintManager* manager);
  PaintManager* GetManager() const { return manager_; }
  void SetRect(CRect rect);
  void SetRect(int x, int y, int width, int height);
  CRect GetRect() const { return rect_; }
  unsigned GetControlID() const { return id_; }
  MObject* GetParantObject() const { return parent_; }
  void SetParent(MObject* parent) { parent_ = parent; }
  std::vector<MControl*>* GetControls() { return &controls_; }
  std::vector<MControl*>* GetAreas() { return &areas_; }

  void SetVisible(int visible);
  void SetVisible(int visible, int repaint);
  void SetEnabled(int enabled);
  int IsVisible() const { return visible_; }
  int IsEnabled() const { return enabled_; }
  int IsFocused() const { return focused_; }
  int IsRunTimer() const { return runTimer_; }
  void SetRunTimer(int run) { runTimer_ = run; }
  int GetDblClk() const { return dblClk_; }
  int GetRresponse() const { return mouseResponse_; }
  void SetRresponse(int r) { mouseResponse_ = r; }
  int IsTabStop() const { return tabStop_; }
  void SetTabStop(int t) { tabStop_ = t; }
  int IsDragDrop() const { return dragDrop_; }
  void SetDragDrop(int d) { dragDrop_ = d; }
  int GetUpdate() const { return cacheValid_; }
  int IsKeyDown() const { return keyDown_; }
  int UseImageECM() const { return imageECM_; }
  int IsParentVisible();
  int IsFocusControl();
  int IsPressedInside() const { return pressedInside_; }
  MControl* GetHotChild() const { return hotChild_; }

  // --- repaint requests ---
  void UpdateControl(int redraw, int force);
  void UpdateControl(CRect rect, int force, int redraw);
  void UpdateAControl(int keep, int force);

  // --- children ---
  MControl* GetControl(unsigned id);
  int RemoveControl(MControl* child);
  void RemoveAllControl();
  // Appends a child this control then owns.
  void AddControl(MControl* child);
  void AddArea(MControl* child);

  // --- notifications, tooltip, cursor, ticks ---
  long SendMessageW(unsigned code, unsigned wParam, long lParam);
  void SetHotKey(unsigned vk, unsigned modifiers) { hotkeyVk_ = vk; hotkeyModifiers_ = modifiers; }
  void SetTooltip(const wchar_t* text) { tooltip_ = text ? text : L""; }
  const std::wstring& GetTooltip() const { return tooltip_; }
  void SetTooltip(const std::wstring& text, CRect rect);
  void ClearTooltip();
  void SetTooltipCtrlID(int) {}
  int GetTooltipCtrlID() const { return 0; }
  int SetCursorEx(const wchar_t* name);
  CursorKind GetCursor() const { return cursor_; }
  void AddMTimer();

  // --- input entry points ---
  int OnMouseMove(unsigned flags, CPoint pt);
  int OnLButtonDown(unsigned flags, CPoint pt);
  int OnLButtonUp(unsigned flags, CPoint pt);
  int OnLButtonDblClk(unsigned flags, CPoint pt);
  int OnRButtonDown(unsigned flags, CPoint pt);
  int OnRButtonUp(unsigned flags, CPoint pt);
  int OnRButtonDblClk(unsigned flags, CPoint pt);
  int OnScroll(int kind, unsigned direction, CPoint pt);
  int OnKeyDown(unsigned vk, unsigned repeat, unsigned modifiers);
  int OnKeyUp(unsigned vk, unsigned repeat, unsigned modifiers) { return 0; }
  int OnFocus(int focus) { return SetControlFocus(focus); }
  int OnTimer();
  void Draw(Canvas& dc, CRect clip);

  // --- render caches ---
  void UpdateMemDC(Canvas& dc, int width, int height);
  void UpdateAnimateDC(Canvas& dc, int width, int height);
  Canvas& GetCache() { return cache_; }
  int IsAnimating() const { return animating_; }

 protected:
  // Draws through the render cache: when stale, the cache (states × width)
  // takes a copy of what lies under rect in each state slot and paint(cache,
  // slot) renders every state; then the slot of `state` goes to dc.
  void DrawCached(Canvas& dc, const CRect& clip, int states, int state,
                  const std::function<void(Canvas& cache, const CRect& slot, int state)>& paint);
  // The point a child receives: unshifted for the scroll bars 1 and 2.
  static CPoint ChildPoint(const MControl* child, CPoint shifted, CPoint unshifted);
  void ReportKey(unsigned vk, unsigned modifiers);
  int DoubleClick(bool left, unsigned flags, CPoint pt);
  int ButtonDown(bool left, unsigned flags, CPoint pt);
  int ButtonUp(bool left, unsigned flags, CPoint pt);

  MObject* parent_;
  PaintManager* manager_ = nullptr;
  unsigned id_;
  CRect rect_;
  int visible_;
  int enabled_;
  int dragDrop_ = 0;
  int mouseResponse_;
  int tabStop_ = 0;
  int dblClk_ = 0;
  int pressedInside_ = 0;
  int keyDown_ = 0;
  int focused_ = 0;
  unsigned hotkeyVk_ = 0;
  unsigned hotkeyModifiers_ = 0;
  int cacheValid_ = 0;
  int animating_ = 0;
  int runTimer_ = 0;
  int timerTicked_ = 0;
  int imageECM_ = 0;
  std::vector<MControl*> areas_;
  std::vector<MControl*> controls_;
  mutable ControlLock areasLock_;
  mutable ControlLock controlsLock_;
  MControl* hotChild_ = nullptr;
  int cacheWidth_ = 0;
  int cacheHeight_ = 0;
  Canvas cache_;
  int animWidth_ = 0;
  int animHeight_ = 0;
  Canvas animCache_;
  std::wstring tooltip_;
  CursorKind cursor_ = CursorKind::None;
  int trackInside_ = 0;
  int notifyDblClk_ = 0;
  int notifyKeyDown_ = 0;
  int mouseOutside_ = 1;
};

// Text, font, text colour, alignment and a skin image strip.
class MControlFont : public MControl {
 public:
  MControlFont(MObject* parent, unsigned id, CRect rect, const wchar_t* title, int visible, int enabled,
               int mouseResponse);

  virtual void SetTextFont(const std::wstring& face);
  virtual void SetTextColor(ARGB colour);
  virtual int SetImage(unsigned resourceId, const std::wstring& type, int count);
  virtual int SetImage(const wchar_t* file, int count);

  void SetTitle(const wchar_t* title);
  std::wstring GetTitle() const { return title_; }
  virtual std::wstring GetControlTitle() const { return title_; }
  void SetAlignment(unsigned h);
  void SetVAlignment(unsigned v);
  void SetAlignment(unsigned h, unsigned v);
  void GetAlignment(unsigned& h, unsigned& v) const { h = hAlign_; v = vAlign_; }
  void SetFont(const wchar_t* face, int size, int style);
  void SetFontStyle(int style) { fontStyle_ = style; }
  int GetFontStyle() const { return fontStyle_; }
  void SetFontWidth(int size) { fontSize_ = size; }
  int GetFontWidth() const { return fontSize_; }
  std::wstring GetTextFont() const { return face_; }
  ARGB GetTextColor() const { return textColour_; }
  void SetTextRenderingHint(int hint) { renderingHint_ = hint; }
  // The manager's private family for a face; null when not loaded.
  const struct FontFamily* GetFontFamily(const wchar_t* face);
  // Font used for this control's text.
  FontSpec GetGDIFont();
  void ClearGDIFont() { gdiFontValid_ = false; }
  void SetImageCount(int count);
  CSize GetImageSize() const { return CSize(frameWidth_, frameHeight_); }
  std::wstring GetImagePath() const { return imagePath_; }
  const ImagePtr& GetImage() const { return image_; }
  int GetImageCount() const { return frameCount_; }
  // Layout format from the alignment fields.
  TextFormat GetTextFormat() const;

 protected:
  virtual void SetControlTitle(const wchar_t* title) { title_ = title ? title : L""; }

  std::wstring title_;
  std::wstring face_;
  std::wstring imagePath_;
  int fontSize_;
  ARGB textColour_ = 0xFFFFFFFF;
  int fontStyle_ = 0;
  const struct FontFamily* fontFamily_ = nullptr;
  unsigned hAlign_ = 0;
  unsigned vAlign_ = 4;
  int renderingHint_ = 5;
  FontSpec gdiFont_;
  bool gdiFontValid_ = false;
  ImagePtr image_;
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  int frameCount_ = 4;
};

// Builds a control by class name; registered by each control's source.
using ControlMaker = MControl* (*)(MObject* parent, unsigned id, CRect rect, const wchar_t* title, int visible,
                                   int enabled);
class ControlFactory {
 public:
  static void Register(const wchar_t* className, ControlMaker maker);
  // Null for an unknown name or one whose class is not built in.
  static MControl* Create(const wchar_t* className, MObject* parent, unsigned id, CRect rect,
                          const wchar_t* title, int visible, int enabled);
  // Names a panel accepts and names a window accepts.
  static bool PanelAccepts(const wchar_t* className);
  static bool WindowAccepts(const wchar_t* className);
};

// Registers a control class at load time.
struct ControlRegistration {
  ControlRegistration(const wchar_t* className, ControlMaker maker) { ControlFactory::Register(className, maker); }
};

class MPanel : public MControlFont {
 public:
  MPanel(MObject* parent, unsigned id, CRect rect, int visible);
  ~MPanel() override;
  const wchar_t* GetClassNameW() const override { return L"MPanel"; }

  MControl* CreateArea(const wchar_t* className, unsigned id, CRect rect, const wchar_t* title, int visible,
                       int enabled);
  MControl* CreateControl(unsigned kind, MObject* parent, const wchar_t* className, unsigned id, CRect rect,
                          const wchar_t* title, int visible, int enabled);
  MControl* CreateControl(const wchar_t* className, unsigned id, CRect rect, const wchar_t* title, int visible,
                          int enabled);
  virtual int OnControlKeyUp(unsigned vk, unsigned repeat, unsigned modifiers) { return 0; }

  void DrawControl(Canvas& dc, CRect clip) override {}
  int DrawSubControls(Canvas& dc, CRect clip) override;
  int OnMousePointChange(CPoint& pt) override;
  int OnControlScroll(int kind, unsigned direction, CPoint pt) override;
  long OnControlUpdate(CRect rect, int redraw, MControl* control) override;
  long OnBaseMessage(unsigned id, unsigned code, unsigned wParam, long lParam) override;
  long OnMessage(unsigned id, unsigned code, unsigned wParam, long lParam) override;
  long OnWindowMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;
  void SetControlRect(CRect rect) override;
  void SetControlEnabled(int enabled) override;
  void SetControlVisible(int visible) override;
  void InitControl(PaintManager* manager) override;

  void SetVirtualHeight(int h);
  void SetVirtualWidth(int w);
  int GetVirtualHeight() const { return virtualHeight_; }
  int GetVirtualWidth() const { return virtualWidth_; }
  void SetEnableScroll(int e) { scrollEnabled_ = e; }
  int GetEnableScroll() const { return scrollEnabled_; }
  MScroll* GetScrollVertical() const { return vScroll_; }
  MScroll* GetScrollHorizontal() const { return hScroll_; }
  int GetVerticalOffset() const;
  int GetHorizontalOffset() const;
  // Content is larger than the panel and scrolling is on.
  bool ContentOverflows() const;

 protected:
  void LayoutScrollBars();

  int virtualHeight_ = 0;
  int virtualWidth_ = 0;
  int scrollEnabled_ = 1;
  MScroll* vScroll_ = nullptr;
  MScroll* hScroll_ = nullptr;
  int scrollThickness_ = 7;
  int inited_ = 0;
  int hOffset_ = 0;
};

// Filled rectangle, optional one-pixel frame, or a translucent wash.
class CArea : public MControl {
 public:
  CArea(MObject* parent, unsigned id, CRect rect, int visible, int enabled);
  const wchar_t* GetClassNameW() const override { return L"CArea"; }
  void DrawControl(Canvas& dc, CRect clip) override;
  void SetTransparent(int topPercent, int bottomPercent, unsigned long colour);
  void SetFrame(int on, ARGB frameColour, int unused = 0);
  void SetDirection(int vertical) { direction_ = vertical; }

 private:
  int direction_ = 1;
  int topPercent_ = 80;
  int bottomPercent_ = 80;
  COLORREF colour_ = 0xFFFFFF;
  int frame_ = 0;
  ARGB frameColour_ = 0xFF050505;
};

// The scroll bar a panel keeps as its children 1 and 2. The skinned drawing
// and dragging are the scroll bar control's own; this base keeps the range
// and position the panel reads.
class MScroll : public MControlFont {
 public:
  MScroll(MObject* parent, unsigned id, CRect rect, int visible, int enabled, bool vertical);
  const wchar_t* GetClassNameW() const override { return L"MScroll"; }
  void DrawControl(Canvas& dc, CRect clip) override;
  void SetRange(int range);
  int GetRange() const { return range_; }
  void SetPosition(int pos);
  int GetPosition() const { return position_; }
  int GetStep() const { return step_; }
  void SetStep(int step) { step_ = step > 0 ? step : 1; }
  bool IsVertical() const { return vertical_; }
  void SetResetOnLayout(int reset) { resetOnLayout_ = reset; }
  int GetResetOnLayout() const { return resetOnLayout_; }
  // Thumb placement for the current range, position and size.
  virtual void RecalcThumb();
  CRect GetThumbRect() const { return thumb_; }

 protected:
  bool vertical_;
  int range_ = 0;
  int position_ = 0;
  int step_ = 20;
  int resetOnLayout_ = 0;
  CRect thumb_;
};

}  // namespace kelvo
