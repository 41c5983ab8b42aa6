#pragma once
// The skinned pop-up menu and its items.
#include <string>
#include <vector>

#include "kelvo/window.h"

namespace kelvo {

class MenuWnd;

class MenuItem : public MControlFont {
 public:
  MenuItem(MObject* parent, unsigned id, CRect rect, const wchar_t* title, int visible, int enabled);
  const wchar_t* GetClassNameW() const override { return L"MenuItem"; }

  void DrawControl(Canvas& dc, CRect clip) override;
  int OnControlMouseMove(unsigned flags, CPoint pt) override;
  int OnControlLButtonDown(unsigned flags, CPoint pt) override;
  int OnControlLButtonUp(unsigned flags, CPoint pt) override;
  void SetControlEnabled(int enabled) override;

  int SetCheck(int check);
  int GetCheck() const { return check_; }
  void SetControlCheck(int check) { check_ = check; }
  void SetCheckable(int c) { checkable_ = c; }
  int IsCheckable() const { return checkable_; }
  void SetSeparator(int s) { separator_ = s; }
  int IsSeparator() const { return separator_; }
  int IsPopup() const { return popup_; }
  int IsHover() const { return state_ == 1; }
  int GetState() const { return state_; }
  void SetState(int s) { state_ = s; }
  void SetPopupMenu(MenuWnd* m) { popupMenu_ = m; }
  MenuWnd* GetPopupMenu() const { return popupMenu_; }
  MenuWnd* GetParentMenu() const;
  void SetFrameWidth(int w) { frameWidthPx_ = w; }
  void SetGroupName(const std::wstring& g) { group_ = g; }
  std::wstring GetGroupName() const { return group_; }
  std::wstring GetValue() const { return value_; }
  std::wstring GetGroupValue() const { return L""; }
  int ResetGroupCheck() { return 1; }
  void ShowPopupMenu() {}
  void SetHoverColor(ARGB c) { hoverColour_ = c; }
  void SetHoverImage(const ImgResInfo* info) { hoverImage_ = info; }
  void SetCheckImage(const ImgResInfo* info) { checkImage_ = info; }
  void SetTextInset(int inset) { textInset_ = inset; }

 private:
  int StateCount() const { return separator_ ? 1 : (checkable_ ? 8 : 4); }
  void PaintState(Canvas& dc, const CRect& slot, int state);
  void Repaint() { UpdateControl(1, 0); }

  int state_ = 0;
  int check_ = 0;
  int pressed_ = 0;
  int checkable_ = 0;
  int popup_ = 0;
  MenuWnd* popupMenu_ = nullptr;
  int separator_ = 0;
  int iconColumn_ = 30;
  int frameWidthPx_ = 0;
  std::wstring group_ = L"Menu Group";
  std::wstring value_;
  ARGB hoverColour_ = 0xFFC95100;
  const ImgResInfo* hoverImage_ = nullptr;
  const ImgResInfo* checkImage_ = nullptr;
  int textInset_ = 5;
};

class MenuWnd : public MPopupWnd {
 public:
  explicit MenuWnd(MObject* parent = nullptr);
  const wchar_t* GetClassNameW() const override { return L"MenuWnd"; }
  const wchar_t* GetWindowClassName() const override { return L"KelvoMenu"; }

  int Create(HWND owner, CPoint pt, unsigned notifyMessage, const std::wstring& backImage, int margin, int width,
             enumBackMode mode);
  int Create(HWND owner, CPoint pt, unsigned notifyMessage, unsigned backImageResource, int margin, int width,
             enumBackMode mode);
  int Create(HWND owner, CPoint pt, unsigned notifyMessage);

  int AddMenu(const std::wstring& text, unsigned id, const std::wstring& iconFile, int = 0, int = 0);
  int AddMenu(const std::wstring& text, unsigned id, int iconResource, int = 0, int = 0);
  int AddSeparator(unsigned id, const std::wstring& image = L"");
  void SetItemTitle(const std::wstring& id, const std::wstring& title);
  void SetItemVisible(const std::wstring& id, int visible);
  void SetItemEnable(const std::wstring& id, int enabled);
  void SetItemCheck(const std::wstring& id, int check);
  void SetMenuPoint();
  void SetHoverImage(const std::wstring& file);
  void SetCheckImage(const std::wstring& file);
  void SetHoverColor(ARGB c) { hoverColour_ = c; }
  void SetTextColor(ARGB c) { textColour_ = c; }
  int GetMenuWidth() const { return width_; }

  void InitUI(CRect client) override;
  long OnMessage(unsigned id, unsigned code, unsigned wParam, long lParam) override;
  int PostNcDestroy() override;

 private:
  struct Pending {
    unsigned id;
    std::wstring title;
    int visible = 1;
    int enabled = 1;
    int check = 0;
    bool hasTitle = false, hasVisible = false, hasEnabled = false, hasCheck = false;
  };
  Pending& PendingFor(unsigned id);
  MenuItem* Item(unsigned id);
  HWND CreateMenuWindow(CPoint pt);

  unsigned notifyMessage_ = 0;
  std::wstring face_;
  int fontSize_;
  int fontStyle_ = 0;
  int leftInset_ = 5;
  int itemHeight_ = 35;
  int width_ = 300;
  ARGB textColour_ = 0xFF000000;
  int topMargin_ = 6;
  int bottomMargin_ = 6;
  int thirdMargin_ = 6;
  HWND owner_ = nullptr;
  const ImgResInfo* checkImage_ = nullptr;
  const ImgResInfo* hoverImage_ = nullptr;
  ARGB hoverColour_ = 0xFF10A8FD;
  std::vector<Pending> pending_;
};

}  // namespace kelvo
