#pragma once
// Top-level windows: MWindow wraps one window and routes its messages to a
// virtual handler; MDialog hosts a control tree through its PaintManager,
// turns notifications into OnMessage and runs modally with a result;
// MPopupWnd is the same for transient popups owned by a control.
#include <string>

#include "kelvo/control.h"
#include "kelvo/paint_manager.h"

namespace kelvo {

using platform::CREATESTRUCT;
using platform::MINMAXINFO;
using platform::NCCALCSIZE_PARAMS;
using platform::POINT;
using platform::WINDOWPOS;
using platform::WNDPROC;

// Closes a dialog with the result in wParam.
constexpr unsigned WM_KELVO_CLOSE = 0x442;
// Dialog results.
enum : unsigned { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class MWindow {
 public:
  MWindow();
  virtual ~MWindow();
  MWindow(const MWindow&) = delete;
  MWindow& operator=(const MWindow&) = delete;

  virtual const wchar_t* GetWindowClassName() const { return L"KelvoClient"; }
  virtual const wchar_t* GetSuperClassName() const { return nullptr; }
  virtual int ShowWindow(int cmdShow);
  virtual LRESULT OnWindowMessage(unsigned msg, WPARAM wParam, LPARAM lParam);
  virtual int PreTranslateMessage(MSG* msg) { return 0; }
  virtual int OnInitDialog() { return 1; }
  virtual void OnDestroyMessage(HWND hwnd) {}

  HWND Create(HWND parent);
  HWND Create(HWND parent, CRect rect);
  HWND Create(HWND parent, const wchar_t* title, unsigned long style, unsigned long exStyle, CRect rect,
              void* menu = nullptr);
  bool RegisterWindowClass();
  bool RegisterSuperClass();
  static LRESULT WndProc(HWND hwnd, unsigned msg, WPARAM wParam, LPARAM lParam);
  static LRESULT ControlProc(HWND hwnd, unsigned msg, WPARAM wParam, LPARAM lParam);

  // Shows the window, disables its owner and runs a loop until the window
  // is gone; the wParam of the closing WM_CLOSE is the result (0 without
  // one, 0xFFFFFFFF when there is no window).
  unsigned ShowModal(int cmdShow = platform::SW_SHOW);
  void CenterWindow(MWindow* over = nullptr);
  void BringToTop();
  void SetIcon(unsigned resourceId);

  HWND GetSafeHwnd() const { return hwnd_; }
  HWND GetParentHwnd() const { return parentHwnd_; }
  unsigned long GetStyle() const;
  unsigned long GetExStyle() const;
  int ModifyStyle(unsigned long remove, unsigned long add, unsigned swpFlags = 0);
  int ModifyExStyle(unsigned long remove, unsigned long add, unsigned swpFlags = 0);
  int GetClientRect(CRect& rect) const;
  int GetWindowRect(CRect& rect) const;
  int SetWindowTextW(const wchar_t* text);
  int GetWindowTextW(std::wstring& text) const;
  int GetWindowTextLengthW() const;
  int EnableWindow(int enable);
  int IsWindowEnabled() const;
  int IsWindowVisible() const;
  int IsIconic() const;
  int InvalidateRect(CRect rect, int erase);
  HWND SetCapture();
  int ReleaseCapture();
  HWND SetFocus();
  uintptr_t SetTimer(uintptr_t id, unsigned elapse, platform::TIMERPROC proc = nullptr);
  int KillTimer(uintptr_t id);
  int ClientToScreen(CPoint& pt) const;
  int ClientToScreen(CRect& rect) const;
  int ScreenToClient(CPoint& pt) const;
  int ScreenToClient(CRect& rect) const;
  int SetWindowPos(HWND after, int x, int y, int cx, int cy, unsigned flags);
  int MoveWindow(int x, int y, int w, int h, int repaint = 1);
  int MoveWindow(CRect rect, int repaint = 1);
  int DestroyWindow();
  LRESULT SendMessageW(unsigned msg, WPARAM w = 0, LPARAM l = 0);
  int PostMessageW(unsigned msg, WPARAM w = 0, LPARAM l = 0);

 protected:
  LRESULT CallPrevious(unsigned msg, WPARAM wParam, LPARAM lParam);

  HWND parentHwnd_ = nullptr;
  HWND hwnd_ = nullptr;
  WNDPROC prevProc_;
  int reserved_ = 0;
};

class MDialog : public MWindow, public MObject {
 public:
  MDialog();
  ~MDialog() override;

  // MObject side
  const wchar_t* GetClassNameW() const override { return L"MDialog"; }
  long OnBaseMessage(unsigned id, unsigned code, unsigned wParam, long lParam) override;
  long OnControlUpdate(CRect rect, int redraw, MControl* control) override;

  // MWindow side
  LRESULT OnWindowMessage(unsigned msg, WPARAM wParam, LPARAM lParam) override;
  int PreTranslateMessage(MSG* msg) override;
  int OnInitDialog() override;
  void OnDestroyMessage(HWND hwnd) override;

  virtual POINT GetAirBladderPoint(MControl* control, unsigned type);
  virtual void OnMinimize();
  virtual void OnMaximize();
  virtual void InitUI(CRect client) {}
  virtual void UISize(CRect client) {}
  virtual long OnMessage(unsigned id, unsigned code, unsigned wParam, long lParam) { return 0; }
  virtual long OnUserCloseWindow(WPARAM wParam, LPARAM lParam);
  virtual int OnCreate(CREATESTRUCT* cs);
  virtual int OnSize(unsigned type, int cx, int cy);
  virtual int OnMouseMove(unsigned flags, CPoint pt) { return 0; }
  virtual int OnMouseLeave(unsigned wParam, long lParam) { return 0; }
  virtual int OnMouseHover(unsigned wParam, long lParam) { return 0; }
  virtual int OnMouseWheel(unsigned keys, short delta, CPoint pt) { return 0; }
  virtual int OnLButtonDown(unsigned flags, CPoint pt) { return 0; }
  virtual int OnLButtonUp(unsigned flags, CPoint pt) { return 0; }
  virtual int OnLButtonDblClk(unsigned flags, CPoint pt) { return 0; }
  virtual int OnRButtonDown(unsigned flags, CPoint pt) { return 0; }
  virtual int OnRButtonUp(unsigned flags, CPoint pt) { return 0; }
  virtual int OnRButtonDblClk(unsigned flags, CPoint pt) { return 0; }
  virtual int OnKeyDown(unsigned vk, unsigned repeat, unsigned flags) { return 0; }
  virtual int OnNcHitTest(CPoint pt) { return 0; }
  virtual int OnGetMinMaxInfo(MINMAXINFO* info) { return 0; }
  virtual int OnNcCalcSize(int calcValid, NCCALCSIZE_PARAMS* params) { return 0; }
  virtual int OnNcActivate(int active) { return 0; }
  virtual int OnWindowPosChanging(WINDOWPOS* pos) { return 1; }
  virtual int OnWindowPosChanged(WINDOWPOS* pos) { return 1; }
  virtual int OnPaint() { return 0; }
  virtual void OnTimer(unsigned id) {}
  virtual int OnNcPaint() { return 0; }
  virtual int OnClose() { return 1; }
  virtual int OnDestroy() { return 0; }
  virtual int PostNcDestroy() { return 0; }

  // Controls
  MControl* CreateArea(const wchar_t* className, unsigned id, CRect rect, const wchar_t* title, int visible,
                       int enabled);
  MControl* CreateControl(const wchar_t* className, unsigned id, CRect rect, const wchar_t* title, int visible,
                          int enabled);
  MControl* GetControl(unsigned id) { return pm_.GetControl(id); }
  std::vector<MControl*>* GetControls() { return pm_.GetControls(); }
  void SetFocusControl(MControl* c) { pm_.SetFocusControl(c); }
  PaintManager& GetPaintManager() { return pm_; }

  // Results, callable from any thread.
  void DoOK() { PostResult(IDOK); }
  void DoCancel() { PostResult(IDCANCEL); }
  void DoClose() { PostResult(IDCANCEL); }
  void DoYes() { PostResult(IDYES); }
  void DoNo() { PostResult(IDNO); }

  // Appearance
  int LoadBKImage(const std::wstring& file) { return pm_.LoadBKImage(file); }
  int LoadBKImage(unsigned id, const std::wstring& type) { return pm_.LoadBKImage(id, type); }
  void SetBackMode(enumBackMode mode, int margin) { pm_.SetBackMode(mode, margin); }
  void SetScrollResID(unsigned v, unsigned h) { pm_.SetScrollResID(v, h); }
  void SetLayeredWindow(int layered) { pm_.SetLayeredWindow(layered); }
  void EnableWndDrag(int on) { pm_.EnableWndDrag(on); }
  void SetColorKey(COLORREF key) { colourKey_ = key; }
  void SetAlpha(int alpha) { alpha_ = alpha; }
  void SetupBackTranslucent();
  int CreateShadow(int show, bool force = false) { return pm_.CreateShadow(show, force); }
  int SetSize(int size) { return pm_.SetSize(size); }
  int SetSharpness(unsigned s) { return pm_.SetSharpness(s); }
  int SetDarkness(unsigned d) { return pm_.SetDarkness(d); }
  int SetPosition(int x, int y) { return pm_.SetPosition(x, y); }
  int SetShadowColor(COLORREF c) { return pm_.SetShadowColor(c); }
  int SetShadowImage(const wchar_t* file, CRect corners) { return pm_.SetShadowImage(file, corners); }
  int SetShadowImage(unsigned id, CRect corners) { return pm_.SetShadowImage(id, corners); }
  int SetShadowShow(int show) { return pm_.SetShadowShow(show); }
  void SetupRegion(int) {}

  // Timers
  unsigned SetMTimer(unsigned periodMs) { return pm_.SetMTimer(periodMs); }
  void KillMTimer(unsigned id) { pm_.KillMTimer(id); }

  // Feedback
  void SetMessage(const std::wstring& text, CRect rect, MsgLevel level = MSG_LEVEL_INFO);
  void SetProgress(int percent, const std::wstring& text, CRect rect) { pm_.SetProgress(percent, text, rect); }
  void SetTooltip(const std::wstring& text, CRect rect) { pm_.SetTooltip(text.c_str(), rect); }
  void ClearTooltip() { pm_.ClearTooltip(); }
  int GetTooltipCtrlID() const { return pm_.GetTooltipCtrlID(); }
  void SetTooltipCtrlID(int id) { pm_.SetTooltipCtrlID(id); }
  void SetBannerOffset(int offset) { bannerOffset_ = offset; }
  int SetAirBladderMsg(const wchar_t* text, POINT pt, AIRBLADDER_TYPE type);
  CRect GetClient() const { return client_; }

 protected:
  void PostResult(unsigned code) { PostMessageW(WM_KELVO_CLOSE, code, 0); }
  // Style change of OnCreate; popups and menus add the tool-window style.
  void ApplyFramelessStyle(bool toolWindow);

  PaintManager pm_;
  CRect client_;
  COLORREF colourKey_ = 0xFFFFFF;
  int alpha_ = 255;
  int bannerOffset_ = 0;
};

// A transient popup owned by a control (the drop-down of a combo box).
class MPopupWnd : public MDialog {
 public:
  MPopupWnd();
  const wchar_t* GetClassNameW() const override { return L"MPopupWnd"; }
  virtual MObject* GetParent() { return owner_; }
  void SetParent(MObject* owner) { owner_ = owner; }
  virtual void CloseWindow() { PostMessageW(platform::WM_CLOSE, 0, 0); }
  long SendMessageToParent(unsigned code, unsigned wParam, long lParam);
  int OnCreate(CREATESTRUCT* cs) override;
  int OnInitDialog() override;
  int OnNcActivate(int active) override;

 protected:
  MObject* owner_ = nullptr;
};

}  // namespace kelvo
