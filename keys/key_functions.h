#pragma once
// What a key can be assigned and the rules of assigning, restoring and
// disabling keys, with the view effects behind a small interface.
#include <functional>
#include <string>
#include <vector>

#include "keys/key_codes.h"
#include "store/profile_store.h"

namespace brumkey {

inline constexpr int kMaxRemapKeys = 10;     // types 1, 2, 12 per profile and layer
inline constexpr int kMaxFunctionKeys = 12;  // types 3, 7
inline constexpr int kNotRemappableKey = 255;
inline constexpr int kExtendedKeyCodeStart = 500;

// String numbers of the refusals (caption, text).
inline constexpr int kMsgNotRemappableCaption = 366, kMsgNotRemappableText = 365;
inline constexpr int kMsgRemapLimitCaption = 368, kMsgRemapLimitText = 367;
inline constexpr int kMsgFunctionLimitCaption = 364, kMsgFunctionLimitText = 363;
inline constexpr int kStringDisabled = 202;

bool IsRemapKind(int type);     // 1, 2, 12
bool IsFunctionKind(int type);  // 3, 7
// Tip label string of a type; 0 when the type has none.
int TipLabelString(int type);

// The keyboard view, the key function picker and the message box, as the
// main window provides them.
class KeyView {
 public:
  virtual ~KeyView() = default;
  virtual void SetKeyCheck(int keyCode, bool checked) = 0;
  // label 0 and empty text clear the tip.
  virtual void SetTip(int keyCode, int labelString, const std::wstring& text) = 0;
  virtual void ResetAllChecks() = 0;
  virtual void Deselect() = 0;
  virtual void Redraw() = 0;
  // (0, 0, 0) clears the picker selection.
  virtual void SelectPickerItem(int value, int value2, int value3) = 0;
  virtual void ShowMessage(int captionString, int textString) = 0;
  virtual std::wstring LangString(int id) = 0;
  // The single-key flag, command 6 and the wait dialog.
  virtual void RequestKeyMapSend(int keyCode) = 0;
};

struct PickerItem {
  int code = 0;
  int value2 = 0;
  int value3 = 0;
  std::wstring text;
};

class KeyFunctionModel {
 public:
  KeyFunctionModel(ProfileStore& store, KeyView& view) : store_(store), view_(view) {}

  void SetProfile(int profile) { profile_ = profile; }
  int Profile() const { return profile_; }
  int FnLayer() const { return fnLayer_; }
  void SetSelectedKey(int keyCode) { selected_ = keyCode; }
  int SelectedKey() const { return selected_; }

  // Saves `kf` for the selected key and updates the view; returns the
  // store's result (below 1: the key has no row now).
  int Assign(KeyFunction kf);
  // The picker's item, within the remap limit. False when refused.
  bool AssignPicked(const PickerItem* item);
  void RestoreKey();
  void DisableKey();
  // Before opening the macro or shortcut dialog: false (and the message)
  // when twelve keys already hold macros or shortcuts.
  bool CanChooseMacroOrShortcut();
  void ShowKeyFunctions();
  // A click on the view; false for no key or a key that cannot be assigned.
  bool SelectKeyInView(int keyCode);

  // Rows of the remap or the function kinds, not counting `exceptKey`'s.
  int CountRemapKeys(int exceptKey = 0);
  int CountFunctionKeys(int exceptKey = 0);

 private:
  void MarkKey(const KeyFunction& kf);

  ProfileStore& store_;
  KeyView& view_;
  int profile_ = 1;
  int fnLayer_ = 0;
  int selected_ = 0;
};

// Performs the PC-side key actions.
class KeyActionHost {
 public:
  virtual ~KeyActionHost() = default;
  virtual void OpenDocument(const std::wstring& target) = 0;  // web address, file
  virtual void StartProgram(const std::wstring& path) = 0;    // detached
  virtual void SwitchProfile(int profile) = 0;
  // Paste `text` into the focused window (clipboard and synthesized keys).
  virtual void TypeText(const std::wstring& text) = 0;
};

// The web address a stored text opens: "www." put in front unless it has
// it, or names a scheme ("://"); empty stays empty.
std::wstring WebActionAddress(const std::wstring& text);
// Runs the action of t_key_otherdata row `id`. False when there was nothing
// to do (missing row, unknown type, empty text, unknown profile).
bool RunKeyAction(ProfileStore& store, KeyActionHost& host, int id);

}  // namespace brumkey

namespace brumkey {

// The desktop side of the key actions: programs and addresses are started
// detached; switching profiles and typing text are the main window's.
class DesktopKeyActionHost final : public KeyActionHost {
 public:
  DesktopKeyActionHost(std::function<void(int)> switchProfile,
                       std::function<void(const std::wstring&)> typeText)
      : switchProfile_(std::move(switchProfile)), typeText_(std::move(typeText)) {}
  void OpenDocument(const std::wstring& target) override;
  void StartProgram(const std::wstring& path) override;
  void SwitchProfile(int profile) override {
    if (switchProfile_) switchProfile_(profile);
  }
  void TypeText(const std::wstring& text) override {
    if (typeText_) typeText_(text);
  }

 private:
  std::function<void(int)> switchProfile_;
  std::function<void(const std::wstring&)> typeText_;
};

}  // namespace brumkey
