#pragma once
// The per-window heart of the toolkit: owns the top-level controls, routes
// window messages into the control tree, keeps hover, focus and capture,
// runs the control timers and the periodic tick, paints double-buffered,
// and keeps the window's shared images and fonts.
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kelvo/control.h"
#include "kelvo/manager.h"
#include "ui/platform/common/platform.h"

namespace kelvo {

using platform::HWND;
using platform::LPARAM;
using platform::LRESULT;
using platform::MSG;
using platform::WPARAM;

class MWindow;
class MAirBladder;
class MShadow;
class TooltipWindow;

// One shared image of a window's cache.
struct ImgResInfo {
  ImagePtr image;
  int frameWidth = 0;
  int frameHeight = 0;
  int frameCount = 1;
  std::wstring file;
  unsigned resourceId = 0;
  std::wstring type;
};

// A private font family: its face name and the file it came from.
struct FontFamily {
  std::wstring name;
  std::string file;
};

enum enumBackMode { BACK_MODE_NORMAL = 0, BACK_MODE_FRAME = 1 };
enum MsgLevel { MSG_LEVEL_INFO = 0, MSG_LEVEL_WARNING = 1, MSG_LEVEL_ERROR = 2 };
using AIRBLADDER_TYPE = int;
using AIRBLADDER_MODE = int;

// Private message that applies repaint requests queued by the tick thread.
constexpr unsigned kMsgFlushUpdates = 0x7F01;

// Window timers the manager keeps for itself.
enum : unsigned {
  kCaretTimerId = 6553,
  kBannerHoldTimerId = 66,
  kBannerFadeTimerId = 88,
  kProgressTimerId = 99,
};

// The periodic high-resolution tick. Every object is registered in a
// process-wide list so a tick identifier finds its owner.
class MTickTimer {
 public:
  MTickTimer();
  virtual ~MTickTimer();
  virtual void OnMTimer(unsigned id, const std::wstring& name) {}
  virtual void OnMTimer(unsigned id) = 0;

  unsigned SetTimer(unsigned periodMs, const std::wstring& name, int isApp);
  // Number of ticks still running afterwards.
  int KillTimer(unsigned id);
  int KillTimer(const std::wstring& name);
  void KillTimer();
  int GetTimerIsRun(unsigned id) const;
  int GetTimerIsRun(const std::wstring& name) const;
  int IsAppTimer(unsigned id) const;
  std::wstring GetTimerName(unsigned id) const;

  static MTickTimer* GetFSTimer(unsigned id);
  static void TimerCallProc(unsigned id, unsigned msg, uintptr_t user, uintptr_t, uintptr_t);

  static unsigned m_uAccuracy;
  static int m_bIsTmierOK;

 private:
  struct Record {
    unsigned id;
    std::wstring name;
    int isApp;
  };
  mutable std::mutex mu_;
  std::vector<Record> records_;
};

class PaintManager : public MTickTimer {
 public:
  PaintManager();
  ~PaintManager() override;
  PaintManager(const PaintManager&) = delete;
  PaintManager& operator=(const PaintManager&) = delete;

  // ---- set-up ----
  void Init(HWND hwnd, MWindow* dialog);
  void DestroyData();
  int IsInited() const { return inited_; }

  // ---- controls ----
  MControl* CreateControl(unsigned kind, MObject* parent, const wchar_t* className, unsigned id, CRect rect,
                          const wchar_t* title, int visible, int enabled);
  MControl* CreateArea(MObject* parent, const wchar_t* className, unsigned id, CRect rect, const wchar_t* title,
                       int visible, int enabled);
  MControl* CreateControl(MObject* parent, const wchar_t* className, unsigned id, CRect rect,
                          const wchar_t* title, int visible, int enabled);
  // Takes over a control built by hand (kind 0 areas, 1 controls).
  void AddControl(unsigned kind, MControl* control);
  MControl* GetControl(unsigned id);
  int RemoveControl(MControl* control);
  void ClearAreaControls();
  void ClearControls();
  void ClearAllControls();
  std::vector<MControl*>* GetControls() { return &controls_; }
  std::vector<MControl*>* GetAreas() { return &areas_; }
  MWindow* GetMDialog() const { return dialog_; }
  // A control going away: every plain pointer to it is dropped, its timers
  // stop, and a tick running on it is waited for.
  void ForgetControl(MControl* control);

  // ---- window access ----
  HWND GetPaintWnd() const { return hwnd_; }
  HWND GetToolTipWnd() const { return hwnd_; }
  bool IsWindowAlive() const;
  void GetClientRect(CRect& rect) const;
  void GetWindowRect(CRect& rect) const;
  void GetClientSize(int& w, int& h) const;
  void SetCaptionRect(CRect r) { captionRect_ = r; }
  void GetCaptionRect(CRect& r) const { r = captionRect_; }
  void SetWindowMaxSize(int w, int h) { maxSize_ = CSize(w, h); }
  void GetWindowManSize(int& w, int& h) const { w = maxSize_.cx; h = maxSize_.cy; }
  void SetWindowMixSize(int w, int h) { minSize_ = CSize(w, h); }
  void GetWindowMinSize(int& w, int& h) const { w = minSize_.cx; h = minSize_.cy; }
  int SetCapture();
  int ReleaseCapture();
  int IsCaptured() const { return captured_; }
  void SetLayeredWindow(int layered);
  int IsLayered() const { return layered_; }
  void EnableWndDrag(int on) { windowDrag_ = on; }
  int IsWndDrag() const { return windowDrag_; }
  LRESULT SendMessageW(unsigned msg, WPARAM w, LPARAM l);
  LRESULT PostMessageW(unsigned msg, WPARAM w, LPARAM l);
  void Invalidate(bool erase = false);
  void InvalidateRect(CRect rect, int erase);
  void SetCursor(CursorKind kind);

  // ---- focus ----
  void SetFocusControl(MControl* control);
  // Records the pointer only (the control handles its own focus state).
  void SetFocusControlPointer(MControl* control) { focus_ = control; }
  MControl* GetFocusControl() const { return focus_; }
  MControl* GetHoverControl() const { return hover_; }
  MControl* GetNextFocusableControl();
  MControl* GetPrevFocusableControl();

  // ---- control timers ----
  int SetTimer(MControl* control, unsigned key, unsigned elapseMs);
  int KillTimer(MControl* control, unsigned key);
  void KillTimer(MControl* control);
  void ClearTimers();
  // Identifier the window timer of (control, key) runs under, 0 when none.
  unsigned GetTimerIdentifier(MControl* control, unsigned key) const;

  // ---- periodic tick ----
  unsigned SetMTimer(unsigned periodMs);
  void KillMTimer(unsigned id);
  void KillMTimer();
  int AddMTimer(MControl* control);
  int DeleteFSTimer(MControl* control);
  unsigned GetMTimerId() const { return mTimerId_; }
  void OnMTimer(unsigned id) override;

  // ---- messages ----
  LRESULT OnWindowMessage(unsigned msg, WPARAM wParam, LPARAM lParam);
  int PreTranslateMessage(const MSG* msg);
  void OnDestroyMessage(HWND hwnd);
  // Modifier word from the key state: Shift 0x10, Ctrl 0x11, Alt 0x12, OR'd.
  static unsigned ModifierWord();

  // ---- painting (output side) ----
  long OnControlUpdate(CRect rect, int redraw, MControl* control);
  int OnPaint();
  // Renders the whole client into dc as a paint of the update rectangle
  // would; used by OnPaint and by tests and benchmarks.
  void RenderTo(Canvas& dc, const CRect& update);
  void SetBackColor(COLORREF back, COLORREF frame);
  COLORREF GetBackColor() const { return backColour_; }
  COLORREF GetFrameColor() const { return frameColour_; }
  int LoadBKImage(const std::wstring& file);
  int LoadBKImage(unsigned resourceId, const std::wstring& type);
  void SetBackMode(enumBackMode mode, int margin);
  COLORREF GetDefaultEnabledColor() const { return defaultEnabledColour_; }
  void SetDefaultEnabledColor(COLORREF c) { defaultEnabledColour_ = c; }
  void SetScrollResID(unsigned v, unsigned h) { scrollVId_ = v; scrollHId_ = h; }
  unsigned GetScrollVID() const { return scrollVId_; }
  unsigned GetScrollHID() const { return scrollHId_; }

  // ---- banner ----
  void SetMessage(const std::wstring& text, CRect rect, MsgLevel level);
  void SetProgress(int percent, const std::wstring& text, CRect rect);
  int GetBannerAlpha() const { return bannerAlpha_; }
  int GetProgress() const { return progress_; }
  int GetProgressTarget() const { return progressTarget_; }
  CRect GetBannerRect() const { return bannerRect_; }
  std::wstring GetBannerText() const { return bannerText_; }

  // ---- caret ----
  void CreateCaret(void* bitmap, int width, int height);
  int SetCaretPos(MControl* edit, int x, int y);
  void ShowCaret(int on);
  MControl* GetCurrentCaretObject() const { return caretObject_; }
  void DrawCaret(Canvas& dc, const CRect& clip);
  CRect GetCaretRect() const { return caretRect_; }

  // ---- tooltips and balloon ----
  void SetTooltip(const wchar_t* text, CRect rect);
  void ClearTooltip();
  int GetTooltipCtrlID() const { return tooltipOwner_; }
  void SetTooltipCtrlID(int id) { tooltipOwner_ = id; }
  std::wstring GetTooltipText() const;
  bool IsTooltipActive() const;
  HWND GetTooltipWindow() const;
  int SetAirBladderMsg(const wchar_t* text, platform::POINT pt, AIRBLADDER_TYPE type, AIRBLADDER_MODE mode);
  int ShowAirBladder(int show, int tag);
  MAirBladder* GetAirBladder() const { return airBladder_; }

  // ---- resources ----
  const ImgResInfo* AddImgResInfo(const wchar_t* file, int count);
  const ImgResInfo* AddImgResInfo(unsigned resourceId, const std::wstring& type, int count, int application);
  void ClearImgResInfo();
  const FontFamily* AddTempFont(const wchar_t* face, const wchar_t* file);
  const FontFamily* AddTempFont(const wchar_t* face, unsigned resourceId);
  const FontFamily* FindTempFont(const wchar_t* face);
  int AddGDITempFont(unsigned resourceId);
  void ClearTempFont();

  // ---- shadow ----
  int CreateShadow(int show, bool force);
  int SetSize(int size);
  int SetSharpness(unsigned sharpness);
  int SetDarkness(unsigned darkness);
  int SetPosition(int x, int y);
  int SetShadowColor(COLORREF colour);
  int SetShadowImage(const wchar_t* file, CRect corners);
  int SetShadowImage(unsigned resourceId, CRect corners);
  int SetShadowShow(int show);
  int DisableShadow(int disable);
  MShadow* GetShadow() const { return shadow_.get(); }

  // ---- input handlers (public for the hosting windows and tests) ----
  int OnMouseMove(unsigned flags, CPoint pt);
  int OnMouseLeave();
  int OnLButtonDown(unsigned flags, CPoint pt);
  int OnLButtonUp(unsigned flags, CPoint pt);
  int OnLButtonDblClk(unsigned flags, CPoint pt);
  int OnRButtonDown(unsigned flags, CPoint pt);
  int OnRButtonUp(unsigned flags, CPoint pt);
  int OnRButtonDblClk(unsigned flags, CPoint pt);
  int OnMouseWheel(unsigned keys, short delta, CPoint screenPt);
  int OnKeyDown(unsigned vk, LPARAM lParam);
  int OnNcActivate(int active);
  int OnWindowPosChanged(platform::WINDOWPOS* pos);
  void OnTimer(unsigned id);
  int IsTracking() const { return tracking_; }
  int IsLeftPressed() const { return leftPressed_; }

 private:
  void ForwardToHover(int (MControl::*handler)(unsigned, CPoint), unsigned flags, CPoint pt,
                      bool dropUnresponsive);
  struct TimerRecord {
    HWND hwnd;
    unsigned key;
    unsigned id;
    bool killed;
    MControl* control;
  };
  unsigned NextTimerIdentifier() const;
  void DrawBanner(Canvas& dc);
  void HideTooltip();
  void BannerTick(unsigned id);

  MWindow* dialog_ = nullptr;
  int inited_ = 0;
  HWND hwnd_ = nullptr;
  COLORREF backColour_ = 0x130D09;
  COLORREF frameColour_ = 0x0000FF;
  COLORREF defaultEnabledColour_ = 0x808080;
  CRect captionRect_;
  CSize maxSize_;
  CSize minSize_;
  ImagePtr backImage_;
  int backImageWidth_ = 0;
  int backImageHeight_ = 0;
  int backMode_ = 0;
  int backMargin_ = 4;
  int layered_ = 0;
  std::unique_ptr<MShadow> shadow_;

  std::wstring bannerText_;
  int bannerLevel_ = 0;
  int bannerAlpha_ = 0;
  int progress_ = 0;
  int progressTarget_ = 0;
  CRect bannerRect_;
  std::wstring fontName_;

  int tracking_ = 0;
  int leftPressed_ = 0;
  int leftDouble_ = 0;
  int rightPressed_ = 0;
  int rightDouble_ = 0;
  int captured_ = 0;
  int windowDrag_ = 1;
  MControl* hover_ = nullptr;
  MControl* focus_ = nullptr;
  int dragArmed_ = 0;
  CPoint dragStart_;
  int active_ = 0;

  std::unique_ptr<TooltipWindow> tooltipWnd_;
  int tooltipOwner_ = 0;
  MAirBladder* airBladder_ = nullptr;
  int airBladderTag_ = 0;

  unsigned scrollVId_ = 0;
  unsigned scrollHId_ = 0;

  std::vector<MControl*> areas_;
  std::vector<MControl*> controls_;
  std::vector<MControl*> mTimerControls_;
  std::vector<TimerRecord> timers_;
  unsigned timerCounter_ = 4096;
  std::atomic<unsigned> mTimerId_{0};
  platform::DWORD ownerThread_ = 0;
  // Repaint requests made off the window thread, applied on it.
  struct PendingUpdate {
    CRect rect;
    int redraw;
    MControl* control;
  };
  std::mutex pendingMu_;
  std::vector<PendingUpdate> pending_;
  bool pendingPosted_ = false;
  void FlushPendingUpdates();
  long ApplyControlUpdate(CRect rect, int redraw, MControl* control);

  CRect caretRect_;
  int caretOn_ = 0;
  int caretShown_ = 0;
  MControl* caretObject_ = nullptr;

  std::map<std::wstring, std::unique_ptr<ImgResInfo>> imagesByFile_;
  std::map<std::pair<unsigned, std::wstring>, std::unique_ptr<ImgResInfo>> imagesByAppId_;
  std::map<std::pair<unsigned, std::wstring>, std::unique_ptr<ImgResInfo>> imagesByKitId_;
  std::map<std::wstring, std::unique_ptr<FontFamily>> fonts_;
  std::vector<std::string> gdiFonts_;

  mutable ControlLock areasLock_;
  mutable ControlLock controlsLock_;
  mutable ControlLock mTimerLock_;
  mutable ControlLock timersLock_;
  mutable ControlLock imagesLock_;
  mutable ControlLock fontsLock_;
};

}  // namespace kelvo
